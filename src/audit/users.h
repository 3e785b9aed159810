// The user directories of an audit: the host's, asked once per name, or a root's own
// etc/passwd.
#pragma once

#include <sys/types.h>

#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "checks/check_user.h"

namespace lintkeeper {

// Asks another directory once per distinct name and keeps the answer for the run.
class CachedUsers final : public UserDirectory {
 public:
  explicit CachedUsers(UserDirectory& source) : source_(source) {}
  UserLookup lookup(std::string_view name, uid_t* uid) override;

 private:
  UserDirectory& source_;
  std::unordered_map<std::string, std::pair<UserLookup, uid_t>> answers_;
};

// The users of a password file (the etc/passwd of a mounted image or a container), read
// once. Every look-up fails when the file cannot be read.
class PasswdFileUsers final : public UserDirectory {
 public:
  explicit PasswdFileUsers(const std::string& path);
  UserLookup lookup(std::string_view name, uid_t* uid) override;

 private:
  bool readable_ = false;
  std::unordered_map<std::string, uid_t> uids_;
};

}  // namespace lintkeeper
