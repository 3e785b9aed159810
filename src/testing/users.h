// A user directory for the unit tests: it gives one answer to every name, and counts the
// questions.
#pragma once

#include <string_view>

#include "checks/check_user.h"

namespace lintkeeper::testing {

class FixedUsers final : public UserDirectory {
 public:
  explicit FixedUsers(UserLookup answer, uid_t uid = 1000) : answer_(answer), uid_(uid) {}
  UserLookup lookup(std::string_view, uid_t* uid) override {
    ++asked;
    if (uid != nullptr) *uid = uid_;
    return answer_;
  }
  int asked = 0;

 private:
  UserLookup answer_;
  uid_t uid_;
};

}  // namespace lintkeeper::testing
