// User checks: exempt names, form and length of a user name, and its look-up.
#pragma once

#include <pwd.h>

#include <cstddef>
#include <string_view>

#include "cli/args.h"
#include "report/report.h"

namespace lintkeeper {

enum class UserLookup { Found, NotFound, Failed };

// The signature of getpwnam_r, which tests replace.
using GetPwNamR = int (*)(const char* name, passwd* entry, char* buffer, std::size_t size,
                          passwd** result);

// Looks the name up in the password database with getpwnam_r, growing its buffer while the
// entry does not fit. Nothing is cached.
UserLookup lookup_user(std::string_view name, GetPwNamR getpwnam_r = ::getpwnam_r);

// Adds at most one message for the user column of a line: INVALID_USER for a name that
// cannot be a user name, USER_NOT_FOUND for one the password database does not know.
void check_user(std::string_view user, const Args& args, Report& report);

}  // namespace lintkeeper
