// User checks: exempt names, form and length of a user name, its look-up, and what a look-up
// that fails proves.
#pragma once

#include <pwd.h>
#include <sys/types.h>

#include <array>
#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "findings/finding.h"

namespace lintkeeper {

// Found; NotFound, known to be missing; Failed, when the database could not be read.
enum class UserLookup { Found, NotFound, Failed };

// What a look-up proves, the one policy for every check of users:
// - a user that is not found for sure, or could not be looked up, earns USER_NOT_FOUND: the
//   name could not be confirmed;
// - a verdict of cron's (that it ignores a file for an unknown user, that a spool crontab is
//   an orphan) needs a user known to be missing: a database that cannot be read proves
//   nothing either way.
constexpr bool is_confirmed(UserLookup lookup) { return lookup == UserLookup::Found; }
constexpr bool is_known_missing(UserLookup lookup) { return lookup == UserLookup::NotFound; }

// The users the checks never report, whatever the command line says.
inline constexpr std::array<std::string_view, 2> EXEMPT_USERS{"postgres", "buildbot"};

// Where user names are looked up.
class UserDirectory {
 public:
  virtual ~UserDirectory() = default;
  // Found (with the user's id in uid when it is given), NotFound, or Failed when the
  // directory could not be read.
  virtual UserLookup lookup(std::string_view name, uid_t* uid = nullptr) = 0;
  // Whether a Found answer tells that the user exists: not where there is nothing to look in
  // and every name counts as found (the web page).
  virtual bool confirms() const { return true; }
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
  bool confirms() const override;
};

// Asks another directory once per distinct name and keeps the answer for the run.
class CachedUsers final : public UserDirectory {
 public:
  explicit CachedUsers(UserDirectory& source) : source_(source) {}
  UserLookup lookup(std::string_view name, uid_t* uid) override;
  bool confirms() const override { return source_.confirms(); }

 private:
  UserDirectory& source_;
  std::unordered_map<std::string, std::pair<UserLookup, uid_t>> answers_;
};

// What the user checks need besides the name.
struct UserRules {
  std::span<const std::string> whitelist;  // names never reported
  bool no_check_passwd = false;            // report every name as not found, without look-up
  UserDirectory* users = nullptr;          // where names are looked up otherwise
};

// Adds at most one finding for the user column of a line: INVALID_USER for a name that
// cannot be a user name, USER_NOT_FOUND for one the password database does not confirm.
void check_user(std::string_view user, const UserRules& rules, LineFindings& found);

// Whether the user checks pass over the name whatever it is: EXEMPT_USERS and the whitelist.
bool is_exempt_user(std::string_view user, const UserRules& rules);

}  // namespace lintkeeper
