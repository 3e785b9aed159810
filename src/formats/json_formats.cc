// The audit's reports written as JSON: its own document, SARIF 2.1.0 and GitLab's Code
// Quality report.
#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include <fmt/format.h>

#include "base/chars.h"
#include "base/unicode.h"
#include "formats/findings.h"
#include "formats/formats.h"
#include "formats/json_writer.h"
#include "formats/kind_docs.h"

namespace lintkeeper {

namespace {

// Each kind's index among the rules of a SARIF report, which list the audit's kinds in order.
constexpr std::array<std::uint64_t, KIND_COUNT> make_rule_indices() {
  std::array<std::uint64_t, KIND_COUNT> indices{};
  std::uint64_t next = 0;
  for (const KindInfo& kind : MESSAGE_KINDS) {
    indices[static_cast<std::size_t>(kind.kind)] = reported_by_audit(kind) ? next++ : 0;
  }
  return indices;
}
constexpr std::array<std::uint64_t, KIND_COUNT> kRuleIndex = make_rule_indices();

// A path in a URI: every byte but the unreserved ones and '/' percent-encoded.
std::string uri_path(std::string_view path) {
  std::string out;
  for (const char c : path) {
    const auto b = static_cast<unsigned char>(c);
    if (is_ascii_letter(c) || is_ascii_digit(c) || c == '-' || c == '.' || c == '_' || c == '~' ||
        c == '/') {
      out += c;
    } else {
      out += fmt::format("%{:02X}", b);
    }
  }
  return out;
}

// The base of the artifact URIs of a SARIF report, and how each file's path is given.
constexpr std::string_view kRootBase = "ROOT";         // the root of a host audit
constexpr std::string_view kSourceBase = "%SRCROOT%";  // where relative paths start

// A file URI names a folder by its absolute path: "file://R/" would name a host R. The root
// as given when the working folder is not known.
std::string absolute_path(const std::string& path) {
  std::error_code error;
  const std::filesystem::path absolute = std::filesystem::absolute(path, error);
  return error ? path : absolute.lexically_normal().string();
}

void artifact_location(JsonWriter& json, const Audit& audit, const AuditedFile& file) {
  json.object([&] {
    const std::string path = report_path(audit, file);
    if (!audit.root.empty()) {
      json.key("uri").value(uri_path(path));
      json.key("uriBaseId").value(kRootBase);
    } else if (path.starts_with('/')) {
      json.key("uri").value("file://" + uri_path(path));
    } else {
      json.key("uri").value(uri_path(path));
      json.key("uriBaseId").value(kSourceBase);
    }
  });
}

void sarif_rules(JsonWriter& json) {
  json.array([&] {
    for (const KindInfo& kind : MESSAGE_KINDS) {
      if (!reported_by_audit(kind)) continue;
      const std::string_view page = kind_doc(kind.kind);
      json.object([&] {
        json.key("id").value(kind.name);
        json.key("shortDescription").object([&] { json.key("text").value(kind.description); });
        if (!page.empty()) {
          json.key("fullDescription").object([&] { json.key("text").value(doc_summary(page)); });
          json.key("help").object([&] {
            json.key("text").value(page);
            json.key("markdown").value(page);
          });
        }
        json.key("defaultConfiguration").object([&] {
          json.key("level").value(severity_word(kind.severity));
        });
      });
    }
  });
}

void sarif_result(JsonWriter& json, const Audit& audit, const AuditedFile& file,
                  const ReportedFinding& f) {
  json.object([&] {
    json.key("ruleId").value(kind_name(f.kind()));
    json.key("ruleIndex").value(kRuleIndex[static_cast<std::size_t>(f.kind())]);
    json.key("level").value(f.severity());
    json.key("message").object([&] { json.key("text").value(f.text()); });
    json.key("locations").array([&] {
      json.object([&] {
        json.key("physicalLocation").object([&] {
          json.key("artifactLocation");
          artifact_location(json, audit, file);
          json.key("region").object([&] { json.key("startLine").value(f.report_line()); });
        });
      });
    });
    json.key("partialFingerprints").object([&] {
      json.key("lintkeeperFinding/v1").value(f.fingerprint);
    });
    // A fix of edits is a SARIF fix; the command of one that no edit makes, a property.
    if (f.fix != nullptr && !f.fix->edits.empty()) {
      json.key("fixes").array([&] {
        json.object([&] {
          json.key("description").object([&] { json.key("text").value(f.fix->description); });
          json.key("artifactChanges").array([&] {
            json.object([&] {
              json.key("artifactLocation");
              artifact_location(json, audit, file);
              json.key("replacements").array([&] {
                for (const Edit& e : f.fix->edits) {
                  json.object([&] {
                    json.key("deletedRegion").object([&] {
                      json.key("startLine").value(e.line);
                      json.key("startColumn").value(std::uint64_t{e.begin_utf16} + 1);
                      json.key("endLine").value(e.line);
                      json.key("endColumn").value(std::uint64_t{e.end_utf16} + 1);
                    });
                    json.key("insertedContent").object([&] { json.key("text").value(e.text); });
                  });
                }
              });
            });
          });
        });
      });
    }
    if (f.fix != nullptr) {
      json.key("properties").object([&] {
        json.key("fixSafety").value(fix_safety_word(f.fix->safety));
        if (!f.fix->command.empty()) json.key("fixCommand").value(f.fix->command);
      });
    }
  });
}

}  // namespace

// {"safety": "safe", "description": ..., "edits": [{"line", "start", "end", "text"}],
// "command": null}, or null.
void write_fix(JsonWriter& json, const Fix* fix) {
  if (fix == nullptr) return json.null();
  json.object([&] {
    json.key("safety").value(fix_safety_word(fix->safety));
    json.key("description").value(fix->description);
    json.key("edits").array([&] {
      for (const Edit& e : fix->edits) {
        json.object([&] {
          json.key("line").value(e.line);
          json.key("start").value(std::uint64_t{e.begin});
          json.key("end").value(std::uint64_t{e.end});
          json.key("text").value(e.text);
        });
      }
    });
    json.key("command");
    if (fix->command.empty()) {
      json.null();
    } else {
      json.value(fix->command);
    }
  });
}

namespace {

// {"name": "busybox", "why": "/etc/os-release names Alpine Linux"}: the cron audited as.
void write_cron(JsonWriter& json, const Audit& audit) {
  json.object([&] {
    json.key("name").value(cron_info(audit.cron.cron).name);
    json.key("why").value(audit.cron.why);
  });
}

}  // namespace

void write_jobs(JsonWriter& json, const Audit& audit) {
  json.key("time_zone").object([&] {
    json.key("name").value(audit.time_zone);
    json.key("why").value(audit.time_zone_why);
  });
  json.key("jobs").array([&] {
    for (const AuditedJob& job : audit.jobs) {
      json.object([&] {
        json.key("path").value(lossy_utf8(report_path(audit, audit.files[job.file])));
        json.key("line").value(job.line);
        json.key("user");
        if (job.user) {
          json.value(*job.user);
        } else {
          json.null();
        }
        json.key("command").value(job.command);
        json.key("schedule").value(job.schedule);
        json.key("description").value(job.description);
        json.key("time_zone").value(job.time_zone);
        json.key("next").array([&] {
          for (const JobRun& run : job.next) json.value(format_rfc3339(run.at, run.offset));
        });
      });
    }
  });
}

void write_json(const Audit& audit, const ReportSettings& settings, Output& out) {
  JsonWriter json(out);
  json.object([&] {
    json.key("cron");
    write_cron(json, audit);
    json.key("tool").object([&] {
      json.key("name").value(settings.tool_name);
      json.key("version").value(settings.tool_version);
    });
    json.key("root");
    if (audit.root.empty()) {
      json.null();
    } else {
      json.value(lossy_utf8(audit.root));
    }
    const Counts counts = audit.counts();
    json.key("errors").value(counts.errors);
    json.key("warnings").value(counts.warnings);
    json.key("status").value(static_cast<std::uint64_t>(settings.limit.exit_status(counts)));
    json.key("files").array([&] {
      for (const AuditedFile& file : audit.files) {
        json.object([&] {
          json.key("path").value(lossy_utf8(report_path(audit, file)));
          json.key("reading").value(file.reading);
          json.key("errors").value(file.findings->counts().errors);
          json.key("warnings").value(file.findings->counts().warnings);
          json.key("findings").array([&] {
            for_each_finding(file, [&](const ReportedFinding& f) {
              json.object([&] {
                json.key("kind").value(kind_name(f.kind()));
                json.key("severity").value(f.severity());
                json.key("line");
                if (f.line() > 0) {
                  json.value(f.line());
                } else {
                  json.null();
                }
                json.key("text").value(f.text());
                json.key("line_text");
                if (f.line_text.data() != nullptr) {
                  json.value(f.line_text);
                } else {
                  json.null();
                }
                json.key("fingerprint").value(f.fingerprint);
                json.key("fix");
                write_fix(json, f.fix);
              });
            });
          });
        });
      }
    });
    if (audit.next > 0) write_jobs(json, audit);
  });
  json.end();
}

void write_sarif(const Audit& audit, const ReportSettings& settings, Output& out) {
  JsonWriter json(out);
  json.object([&] {
    json.key("$schema").value("https://json.schemastore.org/sarif-2.1.0.json");
    json.key("version").value("2.1.0");
    json.key("runs").array([&] {
      json.object([&] {
        json.key("tool").object([&] {
          json.key("driver").object([&] {
            json.key("name").value(settings.tool_name);
            json.key("version").value(settings.tool_version);
            json.key("semanticVersion").value(settings.tool_version);
            json.key("rules");
            sarif_rules(json);
          });
        });
        json.key("properties").object([&] {
          json.key("cron");
          write_cron(json, audit);
        });
        if (!audit.root.empty()) {
          json.key("originalUriBaseIds").object([&] {
            json.key(kRootBase).object([&] {
              std::string root = uri_path(absolute_path(audit.root));
              if (!root.ends_with('/')) root += '/';
              json.key("uri").value("file://" + root);
            });
          });
        }
        json.key("results").array([&] {
          for (const AuditedFile& file : audit.files) {
            for_each_finding(file,
                             [&](const ReportedFinding& f) { sarif_result(json, audit, file, f); });
          }
        });
      });
    });
  });
  json.end();
}

// GitLab's Code Quality report: errors are major issues, warnings minor ones.
std::string_view code_quality_severity(Severity severity) {
  return severity == Severity::Error ? "major" : "minor";
}

void write_code_quality(const Audit& audit, Output& out) {
  JsonWriter json(out);
  json.array([&] {
    for (const AuditedFile& file : audit.files) {
      const std::string path = lossy_utf8(report_path(audit, file));
      for_each_finding(file, [&](const ReportedFinding& f) {
        json.object([&] {
          json.key("description").value(f.text());
          json.key("check_name").value(kind_name(f.kind()));
          json.key("fingerprint").value(f.fingerprint);
          json.key("severity").value(code_quality_severity(f.finding.severity()));
          json.key("location").object([&] {
            json.key("path").value(path);
            json.key("lines").object([&] { json.key("begin").value(f.report_line()); });
          });
        });
      });
    }
  });
  json.end();
}

}  // namespace lintkeeper
