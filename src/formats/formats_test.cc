// Tests every format of the audit's report on one audit of a host tree held in memory: each
// field of each format (severities, rules and their indices, locations, counts, statuses), the
// JSON reports read back with a JSON library.
#include "formats/formats.h"

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "base/memory_file_system.h"
#include "formats/kind_docs.h"

namespace lintkeeper {
namespace {

using nlohmann::json;

// /etc/crontab with an error and a warning on its lines, a crontab cron ignores for its mode,
// and a clean one: 3 errors and 1 warning in 3 files. every_line keeps the lines without
// findings, for JUnit.
Audit planted_audit(bool every_line = false) {
  MemoryFileSystem fs;
  fs.add_file("/r/etc/passwd", "root:x:0:0::/:/bin/sh\n");
  fs.add_file("/r/etc/crontab", "A=$B\n0 5-3 * * * root x\n");
  fs.add_file("/r/etc/cron.d/mode", "0 3 * * * root x\n", 0664);
  fs.add_file("/r/etc/cron.d/ok", "0 3 * * * root x\n");
  AuditOptions options;
  options.root = "/r";
  options.cron = CronName::Debian;
  options.every_line = every_line;
  return run_audit(options, fs);
}

std::string written(Format format, const Audit& audit, std::optional<std::uint64_t> limit = {}) {
  Output out;
  write_report(format, audit, {{limit}, "lintkeeper-audit", "9.8.7"}, out);
  return std::string(out.contents());
}

const std::string kShellVar =
    "Variable assignments in crontabs are not like shell.  $VAR is not expanded.";
const std::string kHour = "5 is greater than 3 in field \"hour\" (5-3)";
const std::string kIgnored =
    "Cron ignores every line of this file: it is writable by others than root.";
const std::string kMode = "Cron skips this file: it is writable by its group (mode 0664).";

TEST(WriteReport, TextAndGcc) {
  const Audit audit = planted_audit();
  EXPECT_EQ(written(Format::Text, audit),
            "Auditing as Debian's cron: --cron debian.\n"
            "\n"
            "Checking correctness of /r/etc/crontab (system crontab)\n"
            "W: 1: A=$B\n"
            "w:    SHELL_VAR: " +
                kShellVar +
                "\n"
                "E: 2: 0 5-3 * * * root x\n"
                "e:    FIELD_VALUE_ERROR: " +
                kHour +
                "\n"
                "\n"
                "Checking correctness of /r/etc/cron.d/mode (system crontab)\n"
                "E: IGNORED_BY_CRON: " +
                kIgnored + "\nE: FILE_MODE: " + kMode +
                "\n"
                "\n"
                "E: There were 3 errors and 1 warning in 2 of 3 files.\n");
  EXPECT_EQ(written(Format::Gcc, audit),
            "/r/etc/crontab:1:1: warning: " + kShellVar + " [SHELL_VAR]\n" +
                "/r/etc/crontab:2:1: error: " + kHour + " [FIELD_VALUE_ERROR]\n" +
                "/r/etc/cron.d/mode:1:1: error: " + kIgnored + " [IGNORED_BY_CRON]\n" +
                "/r/etc/cron.d/mode:1:1: error: " + kMode + " [FILE_MODE]\n");
}

TEST(WriteReport, TextSummaries) {
  MemoryFileSystem fs;
  fs.add_file("one", "A=$B\n");
  fs.add_file("two", "A=$B\nC=$D\n");
  fs.add_file("clean", "A=b\n");
  const auto text_of = [&](std::vector<std::string> paths) {
    AuditOptions options;
    options.paths = std::move(paths);
    const std::string text = written(Format::Text, run_audit(options, fs));
    return text.substr(text.rfind('\n', text.size() - 2) + 1);
  };
  EXPECT_EQ(text_of({"one"}), "W: There were 1 warning in 1 of 1 file.\n");
  EXPECT_EQ(text_of({"two", "clean"}), "W: There were 2 warnings in 1 of 2 files.\n");
  EXPECT_EQ(text_of({"clean"}), "No errors and no warnings in 1 file.\n");
  EXPECT_EQ(text_of({"clean", "one", "two"}), "W: There were 3 warnings in 2 of 3 files.\n");
}

TEST(WriteReport, Github) {
  EXPECT_EQ(written(Format::Github, planted_audit()),
            "::warning file=etc/crontab,line=1,title=SHELL_VAR::" + kShellVar + "\n" +
                "::error file=etc/crontab,line=2,title=FIELD_VALUE_ERROR::" + kHour + "\n" +
                "::error file=etc/cron.d/mode,title=IGNORED_BY_CRON::" + kIgnored + "\n" +
                "::error file=etc/cron.d/mode,title=FILE_MODE::" + kMode + "\n");
}

// The JSON report's layout, two blanks a level, whole for a small audit.
TEST(WriteReport, JsonLayout) {
  MemoryFileSystem fs;
  fs.add_file("one", "A=$B\n");
  AuditOptions options;
  options.paths = {"one"};
  EXPECT_EQ(written(Format::Json, run_audit(options, fs)),
            R"({
  "cron": {
    "name": "debian",
    "why": "the default for crontabs named"
  },
  "tool": {
    "name": "lintkeeper-audit",
    "version": "9.8.7"
  },
  "root": null,
  "errors": 0,
  "warnings": 1,
  "status": 1,
  "files": [
    {
      "path": "one",
      "reading": "system crontab",
      "errors": 0,
      "warnings": 1,
      "findings": [
        {
          "kind": "SHELL_VAR",
          "severity": "warning",
          "line": 1,
          "text": "Variable assignments in crontabs are not like shell.  $VAR is not expanded.",
          "line_text": "A=$B",
          "fingerprint": "e19c1bae62e03cdf",
          "fix": null
        }
      ]
    }
  ]
}
)");
}

// GitHub's escapes: in the file property, and in the text.
TEST(WriteReport, GithubEscapes) {
  MemoryFileSystem fs;
  const std::string name = "a\rb\nc%d:e,f.cron";
  fs.add_file(name, "A=$B\n");
  AuditOptions options;
  options.paths = {name};
  EXPECT_EQ(
      written(Format::Github, run_audit(options, fs)),
      "::warning file=a%0Db%0Ac%25d%3Ae%2Cf.cron,line=1,title=SHELL_VAR::" + kShellVar + "\n");
}

TEST(WriteReport, Json) {
  const json doc = json::parse(written(Format::Json, planted_audit(), 5));
  EXPECT_EQ(doc["tool"], json({{"name", "lintkeeper-audit"}, {"version", "9.8.7"}}));
  EXPECT_EQ(doc["root"], "/r");
  EXPECT_EQ(doc["errors"], 3);
  EXPECT_EQ(doc["warnings"], 1);
  EXPECT_EQ(doc["status"], 2);
  ASSERT_EQ(doc["files"].size(), 3u);
  const json& crontab = doc["files"][0];
  EXPECT_EQ(crontab["path"], "etc/crontab");
  EXPECT_EQ(crontab["reading"], "system crontab");
  EXPECT_EQ(crontab["errors"], 1);
  EXPECT_EQ(crontab["warnings"], 1);
  ASSERT_EQ(crontab["findings"].size(), 2u);
  const json& warning = crontab["findings"][0];
  EXPECT_EQ(warning["kind"], "SHELL_VAR");
  EXPECT_EQ(warning["severity"], "warning");
  EXPECT_EQ(warning["line"], 1);
  EXPECT_EQ(warning["text"], kShellVar);
  EXPECT_EQ(warning["line_text"], "A=$B");
  EXPECT_EQ(crontab["findings"][1]["severity"], "error");
  const json& mode = doc["files"][1];
  EXPECT_EQ(mode["path"], "etc/cron.d/mode");
  EXPECT_EQ(mode["errors"], 2);
  EXPECT_EQ(mode["warnings"], 0);
  EXPECT_EQ(mode["findings"][0]["kind"], "IGNORED_BY_CRON");
  EXPECT_EQ(mode["findings"][0]["severity"], "error");
  EXPECT_TRUE(mode["findings"][0]["line"].is_null());
  EXPECT_TRUE(mode["findings"][0]["line_text"].is_null());
  EXPECT_EQ(doc["files"][2]["findings"], json::array());
  std::set<std::string> prints;
  for (const json& file : doc["files"]) {
    for (const json& f : file["findings"]) prints.insert(f["fingerprint"].get<std::string>());
  }
  EXPECT_EQ(prints.size(), 4u);
  for (const std::string& print : prints) EXPECT_EQ(print.size(), 16u) << print;
}

TEST(WriteReport, JsonStatusFollowsTheLimit) {
  MemoryFileSystem fs;
  fs.add_file("two", "A=$B\nC=$D\n");
  AuditOptions options;
  options.paths = {"two"};
  const Audit audit = run_audit(options, fs);
  const struct {
    std::optional<std::uint64_t> limit;
    int status;
  } cases[] = {{std::nullopt, 1}, {0, 1}, {1, 1}, {2, 0}, {3, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.limit ? std::to_string(*c.limit) : "none");
    EXPECT_EQ(json::parse(written(Format::Json, audit, c.limit))["status"], c.status);
  }
}

TEST(WriteReport, Sarif) {
  const json doc = json::parse(written(Format::Sarif, planted_audit()));
  EXPECT_EQ(doc["version"], "2.1.0");
  const json& run = doc["runs"][0];
  const json& driver = run["tool"]["driver"];
  EXPECT_EQ(driver["name"], "lintkeeper-audit");
  EXPECT_EQ(driver["version"], "9.8.7");
  EXPECT_EQ(driver["semanticVersion"], "9.8.7");
  // One rule per kind the audit reports, in the table's order, each with its page.
  const json& rules = driver["rules"];
  std::size_t i = 0;
  for (const KindInfo& kind : MESSAGE_KINDS) {
    if (!reported_by_audit(kind)) continue;
    ASSERT_LT(i, rules.size());
    const json& rule = rules[i++];
    SCOPED_TRACE(kind.name);
    EXPECT_EQ(rule["id"], kind.name);
    EXPECT_EQ(rule["shortDescription"]["text"], kind.description);
    EXPECT_EQ(rule["fullDescription"]["text"], doc_summary(kind_doc(kind.kind)));
    EXPECT_NE(rule["fullDescription"]["text"], "");
    EXPECT_EQ(rule["help"]["markdown"], kind_doc(kind.kind));
    EXPECT_EQ(rule["defaultConfiguration"]["level"], severity_word(kind.severity));
  }
  EXPECT_EQ(i, rules.size());
  EXPECT_EQ(run["originalUriBaseIds"]["ROOT"]["uri"], "file:///r/");
  const std::vector<std::tuple<std::string, std::string, std::string, int>> expected = {
      {"SHELL_VAR", "warning", "etc/crontab", 1},
      {"FIELD_VALUE_ERROR", "error", "etc/crontab", 2},
      {"IGNORED_BY_CRON", "error", "etc/cron.d/mode", 1},
      {"FILE_MODE", "error", "etc/cron.d/mode", 1},
  };
  ASSERT_EQ(run["results"].size(), expected.size());
  for (std::size_t r = 0; r < expected.size(); ++r) {
    const json& result = run["results"][r];
    const auto& [id, level, uri, line] = expected[r];
    SCOPED_TRACE(id);
    EXPECT_EQ(result["ruleId"], id);
    EXPECT_EQ(rules[result["ruleIndex"].get<std::size_t>()]["id"], id);
    EXPECT_EQ(result["level"], level);
    const json& location = result["locations"][0]["physicalLocation"];
    EXPECT_EQ(location["artifactLocation"], json({{"uri", uri}, {"uriBaseId", "ROOT"}}));
    EXPECT_EQ(location["region"], json({{"startLine", line}}));
    EXPECT_EQ(result["partialFingerprints"]["lintkeeperFinding/v1"].get<std::string>().size(), 16u);
  }
}

// Without a root, a path is an absolute file URI or one relative to where the run started.
TEST(WriteReport, SarifLocationsOfPathsNamed) {
  MemoryFileSystem fs;
  fs.add_file("/abs/my crontab.cron", "A=$B\n");
  fs.add_file("rel/crontab", "A=$B\n");
  AuditOptions options;
  options.paths = {"/abs/my crontab.cron", "rel/crontab"};
  const json doc = json::parse(written(Format::Sarif, run_audit(options, fs)));
  EXPECT_FALSE(doc["runs"][0].contains("originalUriBaseIds"));
  const json& results = doc["runs"][0]["results"];
  EXPECT_EQ(results[0]["locations"][0]["physicalLocation"]["artifactLocation"],
            json({{"uri", "file:///abs/my%20crontab.cron"}}));
  EXPECT_EQ(results[1]["locations"][0]["physicalLocation"]["artifactLocation"],
            json({{"uri", "rel/crontab"}, {"uriBaseId", "%SRCROOT%"}}));
}

TEST(WriteReport, CodeQuality) {
  const json issues = json::parse(written(Format::CodeQuality, planted_audit()));
  const std::vector<std::tuple<std::string, std::string, std::string, int>> expected = {
      {"SHELL_VAR", "minor", "etc/crontab", 1},
      {"FIELD_VALUE_ERROR", "major", "etc/crontab", 2},
      {"IGNORED_BY_CRON", "major", "etc/cron.d/mode", 1},
      {"FILE_MODE", "major", "etc/cron.d/mode", 1},
  };
  ASSERT_EQ(issues.size(), expected.size());
  for (std::size_t r = 0; r < expected.size(); ++r) {
    const auto& [name, severity, path, line] = expected[r];
    SCOPED_TRACE(name);
    EXPECT_EQ(issues[r]["check_name"], name);
    EXPECT_EQ(issues[r]["severity"], severity);
    EXPECT_EQ(issues[r]["location"], json({{"path", path}, {"lines", {{"begin", line}}}}));
    EXPECT_EQ(issues[r]["fingerprint"].get<std::string>().size(), 16u);
  }
  EXPECT_EQ(issues[0]["description"], kShellVar);
}

// A warning fails its case only when the warnings of the whole audit are over the limit.
TEST(WriteReport, JunitCountsAtTheLimit) {
  const Audit audit = planted_audit(true);  // 1 warning
  const struct {
    std::optional<std::uint64_t> limit;
    std::string_view head;
    std::string_view warning_case;
  } cases[] = {
      {std::nullopt, "tests=\"7\" failures=\"3\"", "<failure type=\"SHELL_VAR\""},
      {0, "tests=\"7\" failures=\"3\"", "<failure type=\"SHELL_VAR\""},
      {1, "tests=\"7\" failures=\"2\"", "<system-out>W: SHELL_VAR: "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.limit ? std::to_string(*c.limit) : "none");
    const std::string xml = written(Format::Junit, audit, c.limit);
    EXPECT_NE(
        xml.find(std::string("<testsuites name=\"lintkeeper-audit\" ") + std::string(c.head) + ">"),
        std::string::npos)
        << xml;
    EXPECT_NE(xml.find(c.warning_case), std::string::npos) << xml;
    EXPECT_NE(xml.find("<testsuite name=\"etc/cron.d/mode\" tests=\"2\" failures=\"1\">"),
              std::string::npos);
    EXPECT_NE(xml.find("<testcase classname=\"etc/cron.d/ok\" name=\"line 1: 0 3 * * * root x\" "
                       "file=\"etc/cron.d/ok\" line=\"1\"/>"),
              std::string::npos);
  }
}

}  // namespace
}  // namespace lintkeeper
