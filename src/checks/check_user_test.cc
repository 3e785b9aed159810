// Tests the user checks: exempt and whitelisted names, length, form, the switch that keeps
// the password database out, and what a failed look-up proves. Look-ups in a known database
// are tested end to end under nss_wrapper (tests/nss).
#include "checks/check_user.h"

#include <cerrno>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "testing/users.h"

namespace lintkeeper {
namespace {

// A user directory that knows nobody.
testing::FixedUsers kNobody(UserLookup::NotFound);

std::string repeat(std::string_view unit, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += unit;
  return out;
}

// The findings check_user added, as "S: KIND: text".
std::vector<std::string> check(std::string_view user, const UserRules& args) {
  LineFindings found;
  check_user(user, args, found);
  std::vector<std::string> messages;
  for (const Finding& f : found.all()) {
    messages.push_back(std::string(1, severity_letter(f.severity())) + ": " + finding_text(f));
  }
  return messages;
}

std::string not_found(std::string_view user) {
  return "W: USER_NOT_FOUND: User \"" + std::string(user) + "\" not found.";
}
std::string invalid(std::string_view user) {
  return "E: INVALID_USER: Invalid username \"" + std::string(user) + "\"";
}
std::string too_long(std::string_view user) {
  return "E: INVALID_USER: Username too long \"" + std::string(user) + "\"";
}

TEST(CheckUser, WithoutPasswordLookup) {
  const std::string a31 = repeat("a", 31);
  const std::string a32 = repeat("a", 32);
  const std::string u31 = repeat("ü", 31);  // 62 bytes
  const std::string u32 = repeat("ü", 32);
  const std::string dash32 = "-" + repeat("a", 31);
  struct Case {
    std::string user;
    std::vector<std::string> whitelist;
    std::vector<std::string> expected;
  };
  const Case cases[] = {
      // Exempt and whitelisted names are never reported.
      {"postgres", {}, {}},
      {"buildbot", {}, {}},
      {"Postgres", {}, {not_found("Postgres")}},
      {"postgres2", {}, {not_found("postgres2")}},
      {"ops", {"ops", "deploy"}, {}},
      {"deploy", {"ops", "deploy"}, {}},
      {"opsx", {"ops", "deploy"}, {not_found("opsx")}},
      {"Ops", {"ops"}, {not_found("Ops")}},
      {"a:b", {"a:b"}, {}},
      {"a:b", {}, {invalid("a:b")}},
      {a32, {a32}, {}},
      {"-oper", {"-oper"}, {}},
      // Length: 31 characters pass, 32 do not; characters, not bytes.
      {a31, {}, {not_found(a31)}},
      {a32, {}, {too_long(a32)}},
      {u31, {}, {not_found(u31)}},
      {u32, {}, {too_long(u32)}},
      {dash32, {}, {too_long(dash32)}},  // length comes before form
      {repeat("a", 30) + ":", {}, {invalid(repeat("a", 30) + ":")}},
      // Form.
      {"-oper", {}, {invalid("-oper")}},
      {"-", {}, {invalid("-")}},
      {"ops@host", {}, {invalid("ops@host")}},
      {"a/b", {}, {invalid("a/b")}},
      {"x!", {}, {invalid("x!")}},
      {"a~", {}, {invalid("a~")}},
      {"data-bak", {}, {not_found("data-bak")}},
      {"web.data", {}, {not_found("web.data")}},
      {"_cron", {}, {not_found("_cron")}},
      {"jürgen", {}, {not_found("jürgen")}},
      {"a-", {}, {not_found("a-")}},
      {".x", {}, {not_found(".x")}},
      {"1000", {}, {not_found("1000")}},
      {"root", {}, {not_found("root")}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.user);
    UserRules args;
    args.users = &kNobody;
    args.no_check_passwd = true;
    args.whitelist = c.whitelist;
    EXPECT_EQ(check(c.user, args), c.expected);
  }
}

TEST(CheckUser, EveryAsciiPunctuationMarkButDashDotUnderscoreIsForbidden) {
  constexpr std::string_view kForbidden = "!\"#$%&'()*+,/:;<=>?@[\\]^`{|}~";
  ASSERT_EQ(kForbidden.size(), 29u);
  UserRules args;
  args.users = &kNobody;
  args.no_check_passwd = true;
  for (char c = 0x21; c < 0x7F; ++c) {
    const std::string user = std::string("a") + c + "b";
    SCOPED_TRACE(user);
    if (kForbidden.find(c) != std::string_view::npos) {
      EXPECT_EQ(check(user, args), std::vector<std::string>{invalid(user)});
    } else {
      EXPECT_EQ(check(user, args), std::vector<std::string>{not_found(user)});
    }
  }
}

TEST(CheckUser, DroppedKinds) {
  struct Case {
    std::string_view kind;
    std::string user;
    bool no_check_passwd;
  };
  const std::string a40 = repeat("a", 40);  // outlives the table that views it
  const Case cases[] = {
      {"USER_NOT_FOUND", "nobody-here", true},
      {"USER_NOT_FOUND", "nobody-here", false},
      {"INVALID_USER", "a:b", true},  // the dropped error still ends the checks
      {"INVALID_USER", a40, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.kind) + " " + c.user);
    UserRules args;
    args.users = &kNobody;
    args.no_check_passwd = c.no_check_passwd;
    LineFindings found;
    KindSet dropped;
    dropped.set(static_cast<std::size_t>(*line_kind_from_name(c.kind)));
    found.drop(dropped);
    check_user(c.user, args, found);
    EXPECT_TRUE(found.empty());
  }
}

// Stands in for getpwnam_r: "found" and "grows" are in the database ("grows" only once the
// buffer has reached 64 KiB), "huge" never fits, "broken" fails, any other name is absent.
int fake_getpwnam_r(const char* name, passwd* entry, char*, std::size_t size, passwd** result) {
  *result = nullptr;
  const std::string_view n = name;
  if (n == "broken") return EIO;
  if (n == "huge" || (n == "grows" && size < 65536)) return ERANGE;
  if (n == "found" || n == "grows") *result = entry;
  return 0;
}

TEST(LookupUser, FoundNotFoundAndFailed) {
  const struct {
    std::string_view name;
    UserLookup expected;
  } cases[] = {
      {"found", UserLookup::Found},
      {"grows", UserLookup::Found},  // the buffer doubles until the entry fits
      {"absent", UserLookup::NotFound},
      {std::string_view("found\0x", 7), UserLookup::NotFound},  // no name holds a NUL
      {"huge", UserLookup::Failed},                             // the buffer stops growing at 1 MiB
      {"broken", UserLookup::Failed},  // an error other than a small buffer
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(lookup_user(c.name, nullptr, fake_getpwnam_r), c.expected);
  }
}

// One policy: a name that is not confirmed is reported, found or not; only a name known to be
// missing proves anything to cron's rules. Each name is asked once.
TEST(CheckUser, WhatALookUpProves) {
  const struct {
    UserLookup answer;
    bool reported, missing;
  } cases[] = {
      {UserLookup::Found, false, false},
      {UserLookup::NotFound, true, true},
      {UserLookup::Failed, true, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.answer));
    testing::FixedUsers source(c.answer);
    CachedUsers users(source);
    UserRules args;
    args.users = &users;
    EXPECT_EQ(check("alice", args).size(), c.reported ? 1u : 0u);
    EXPECT_EQ(check("alice", args).size(), c.reported ? 1u : 0u);
    EXPECT_EQ(is_known_missing(users.lookup("alice", nullptr)), c.missing);
    uid_t uid = 0;
    users.lookup("alice", &uid);
    EXPECT_EQ(uid, 1000u);
    EXPECT_EQ(source.asked, 1);
    check("bob", args);
    EXPECT_EQ(source.asked, 2);
  }
}

}  // namespace
}  // namespace lintkeeper
