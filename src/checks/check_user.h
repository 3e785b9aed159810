// User checks: exempt names, form and length of a user name, and its look-up.
#pragma once

#include <pwd.h>
#include <sys/types.h>

#include <cstddef>
#include <span>
#include <string>
#include <string_view>

#include "report/report.h"

namespace lintkeeper {

enum class UserLookup { Found, NotFound, Failed };

// Where user names are looked up.
class UserDirectory {
 public:
  virtual ~UserDirectory() = default;
  // Found (with the user's id in uid when it is given), NotFound, or Failed when the
  // directory could not be read.
  virtual UserLookup lookup(std::string_view name, uid_t* uid = nullptr) = 0;
};

// The signature of getpwnam_r, which tests replace.
using GetPwNamR = int (*)(const char* name, passwd* entry, char* buffer, std::size_t size,
                          passwd** result);

// Looks the name up in the password database with getpwnam_r, growing its buffer while the
// entry does not fit. Nothing is cached.
UserLookup lookup_user(std::string_view name, uid_t* uid = nullptr,
                       GetPwNamR getpwnam_r = ::getpwnam_r);

// The system's password database, asked anew for every name.
class SystemUsers final : public UserDirectory {
 public:
  UserLookup lookup(std::string_view name, uid_t* uid) override { return lookup_user(name, uid); }
};

// What the user checks need besides the name.
struct UserRules {
  std::span<const std::string> whitelist;  // names never reported
  bool no_check_passwd = false;            // report every name as not found, without look-up
  UserDirectory* users = nullptr;          // where names are looked up otherwise
};

// Adds at most one message for the user column of a line: INVALID_USER for a name that
// cannot be a user name, USER_NOT_FOUND for one the password database does not know.
void check_user(std::string_view user, const UserRules& rules, Report& report);

// Whether the user checks pass over the name whatever it is: postgres, buildbot and the
// whitelist.
bool is_exempt_user(std::string_view user, const UserRules& rules);

}  // namespace lintkeeper
