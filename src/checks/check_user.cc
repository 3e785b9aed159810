// User checks: exempt names, form and length of a user name, and its look-up.
#include "checks/check_user.h"

#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <memory>
#include <string>

#include "base/chars.h"

namespace lintkeeper {

namespace {

constexpr std::size_t kMaxNameChars = 31;
#ifndef __EMSCRIPTEN__
constexpr long kFallbackBufferSize = 16384;
constexpr std::size_t kBufferLimit = 1 << 20;
#endif

// ASCII punctuation other than '-', '.' and '_'.
bool has_forbidden(std::string_view user) {
  for (const char c : user) {
    if (has_class(c, kUserForbidden)) return true;
  }
  return false;
}

std::size_t scalar_count(std::string_view text) {
  // Continuation bytes do not start a character.
  return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) {
    return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  }));
}

}  // namespace

UserLookup lookup_user(std::string_view name, uid_t* uid, GetPwNamR getpwnam_r) {
#ifdef __EMSCRIPTEN__
  // A browser has no password database (emscripten's getpwnam_r always fails). As on any
  // system with nothing to look in, every name counts as found: only --no-check-passwd
  // reports users then.
  static_cast<void>(name), static_cast<void>(uid), static_cast<void>(getpwnam_r);
  return UserLookup::Found;
#else
  if (name.find('\0') != std::string_view::npos) return UserLookup::NotFound;
  const std::string cname(name);
  const long suggested = ::sysconf(_SC_GETPW_R_SIZE_MAX);
  std::size_t size = static_cast<std::size_t>(suggested > 0 ? suggested : kFallbackBufferSize);
  while (true) {
    auto buffer = std::make_unique_for_overwrite<char[]>(size);
    passwd entry{};
    passwd* result = nullptr;
    // getpwnam_r reports its error as its return value, not through errno.
    const int rc = getpwnam_r(cname.c_str(), &entry, buffer.get(), size, &result);
    if (rc == 0 && result == nullptr) return UserLookup::NotFound;
    if (rc == 0) {
      if (uid != nullptr) *uid = result->pw_uid;
      return UserLookup::Found;
    }
    if (rc != ERANGE || size >= kBufferLimit) return UserLookup::Failed;
    size *= 2;
  }
#endif
}

UserLookup CachedUsers::lookup(std::string_view name, uid_t* uid) {
  auto found = answers_.find(std::string(name));
  if (found == answers_.end()) {
    uid_t id = 0;
    const UserLookup answer = source_.lookup(name, &id);
    found = answers_.emplace(std::string(name), std::pair(answer, id)).first;
  }
  if (uid != nullptr) *uid = found->second.second;
  return found->second.first;
}

bool SystemUsers::confirms() const {
#ifdef __EMSCRIPTEN__
  return false;
#else
  return true;
#endif
}

bool is_exempt_user(std::string_view user, const UserRules& rules) {
  return std::find(EXEMPT_USERS.begin(), EXEMPT_USERS.end(), user) != EXEMPT_USERS.end() ||
         std::find(rules.whitelist.begin(), rules.whitelist.end(), user) != rules.whitelist.end();
}

void check_user(std::string_view user, const UserRules& rules, LineFindings& found) {
  if (is_exempt_user(user, rules)) return;
  if (user.size() > kMaxNameChars && scalar_count(user) > kMaxNameChars) {
    found.add(MessageKind::INVALID_USER, "Username too long \"{}\"", user);
    return;
  }
  if ((!user.empty() && user.front() == '-') || has_forbidden(user)) {
    found.add(MessageKind::INVALID_USER, "Invalid username \"{}\"", user);
    return;
  }
  if (rules.no_check_passwd || !is_confirmed(rules.users->lookup(user))) {
    // Joined without a format string: this finding can come on every line of a large crontab.
    found.add_joined(MessageKind::USER_NOT_FOUND, "User \"", user, "\" not found.");
  }
}

}  // namespace lintkeeper
