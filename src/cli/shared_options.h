// What lintkeeper's and lintkeeper-audit's command lines share: the rows of their common
// options, each program giving its own help where they differ, the help and version rows, the
// exit statuses of the long help, and "NAME VERSION".
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "checks/check_user.h"
#include "cli/command_line.h"

namespace lintkeeper {

inline constexpr std::string_view PROGRAM_VERSION = LINTKEEPER_VERSION;

// "NAME VERSION\n", as --version prints it.
std::string version_text(std::string_view program_name);

// "Exit status:" and a line per status; after the meaning of 2, more_for_errors.
std::string exit_status_help(std::string_view more_for_errors);

// A help text made at compile time from its parts.
struct DocText {
  char data[512]{};
  std::size_t size = 0;

  constexpr DocText& add(std::string_view part) {
    for (const char c : part) data[size++] = c;
    return *this;
  }
  constexpr std::string_view view() const { return {data, size}; }
};

// "`postgres` and `buildbot`": the users that are always ignored, as the help names them.
constexpr DocText& add_exempt_users(DocText& doc) {
  for (std::size_t i = 0; i < EXEMPT_USERS.size(); ++i) {
    if (i > 0) doc.add(i + 1 == EXEMPT_USERS.size() ? " and " : ", ");
    doc.add("`").add(EXEMPT_USERS[i]).add("`");
  }
  return doc;
}

inline constexpr DocText WHITELIST_DOC = [] {
  DocText doc;
  doc.add("user to ignore when warning of unrecognized users; may be passed multiple times\n\n");
  add_exempt_users(doc).add(" are always ignored.");
  return doc;
}();

// The first paragraph of --fail-warnings, before each program's own.
inline constexpr std::string_view FAIL_WARNINGS_SUMMARY =
    "exit(1) only if more than this number of warnings are emitted (default 0).";

// The rows of the shared options, for any Args for which check_options(Args&) gives its
// CheckOptions.
template <typename Args>
constexpr Option<Args> user_option(std::string_view doc) {
  return {"user", 'u', "", Arity::Flag, doc, [](Args& a, std::string_view) {
            check_options(a).user = true;
            return std::string();
          }};
}
template <typename Args>
constexpr Option<Args> whitelist_option() {
  return {"whitelist",
          'w',
          "WHITELIST",
          Arity::Many,
          WHITELIST_DOC.view(),
          [](Args& a, std::string_view v) {
            check_options(a).whitelist.emplace_back(v);
            return std::string();
          },
          /*utf8_value=*/true};
}
template <typename Args>
constexpr Option<Args> no_check_passwd_option(std::string_view doc) {
  return {"no-check-passwd", 'n', "", Arity::Flag, doc, [](Args& a, std::string_view) {
            check_options(a).no_check_passwd = true;
            return std::string();
          }};
}
template <typename Args>
constexpr Option<Args> fail_warnings_option(std::string_view doc) {
  return {"fail-warnings", 'f', "FAIL_WARNINGS", Arity::One, doc, [](Args& a, std::string_view v) {
            std::uint64_t n = 0;
            std::string error = parse_count(v, n);
            if (error.empty()) check_options(a).fail_warnings = n;
            return error;
          }};
}

// The rows that every program has, last in its table.
template <typename Args>
constexpr Option<Args> HELP_OPTION{"help",
                                   'h',
                                   "",
                                   Arity::Flag,
                                   "Print help (see a summary with '-h')",
                                   nullptr,
                                   false,
                                   Action::ShortHelp,
                                   Action::LongHelp,
                                   "Print help (see more with '--help')"};
template <typename Args>
constexpr Option<Args> VERSION_OPTION{"version",       'V',     "",    Arity::Flag,
                                      "Print version", nullptr, false, Action::Version,
                                      Action::Version};

// Sets a flag of Args; the value of a flag is always empty.
template <typename Args, bool Args::*member>
std::string set_flag(Args& args, std::string_view) {
  args.*member = true;
  return {};
}

}  // namespace lintkeeper
