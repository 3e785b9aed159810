// The users of a root's own etc/passwd, for the audit of a mounted image or a container.
#pragma once

#include <sys/types.h>

#include <string>
#include <string_view>
#include <unordered_map>

#include "base/file_system.h"
#include "checks/check_user.h"

namespace lintkeeper {

// The users of a password file, read once. Every look-up fails when the file cannot be read.
class PasswdFileUsers final : public UserDirectory {
 public:
  PasswdFileUsers(FileSystem& fs, const std::string& path);
  UserLookup lookup(std::string_view name, uid_t* uid) override;

 private:
  bool readable_ = false;
  std::unordered_map<std::string, uid_t> uids_;
};

}  // namespace lintkeeper
