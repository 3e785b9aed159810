// User checks: exempt names, form and length of a user name, and its look-up.
#pragma once

#include <functional>
#include <string_view>

#include "cli/args.h"
#include "report/report.h"

namespace lintkeeper {

enum class UserLookup { Found, NotFound, Failed };

// Looks the name up in the password database with getpwnam_r. Nothing is cached.
UserLookup lookup_user(std::string_view name);

// Adds at most one message for the user column of a line: INVALID_USER for a name that
// cannot be a user name, USER_NOT_FOUND for one the password database does not know.
void check_user(std::string_view user, const Args& args, Report& report);

}  // namespace lintkeeper
