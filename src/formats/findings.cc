// The one walk of an audit's findings.
#include "formats/findings.h"

#include <unordered_map>

#include <fmt/format.h>

#include "base/hash.h"

namespace lintkeeper {

namespace {

// FNV-1a, 64 bits, over the parts with a zero byte after each.
class Hash {
 public:
  Hash& add(std::string_view part) {
    value_ = fnv1a(std::string_view("", 1), fnv1a(part, value_));
    return *this;
  }
  std::uint64_t value() const { return value_; }

 private:
  std::uint64_t value_ = kFnvOffsetBasis;
};

// Hands each finding of a walk to the callback, with its line's text and fingerprint.
class EachFinding final : public FindingReader {
 public:
  EachFinding(const AuditedFile& file, const std::function<void(const ReportedFinding&)>& each)
      : file_(file), each_(each) {}
  void file_finding(const Finding& finding) override { emit(finding, {}); }
  void line(const LineRecord& line) override {
    for (const Finding& f : line.findings) emit(f, line.text);
  }

 private:
  void emit(const Finding& f, std::string_view line_text) {
    const std::uint64_t same = Hash().add(kind_name(f.kind)).add(f.text).add(line_text).value();
    const std::uint64_t occurrence = seen_[same]++;
    const std::uint64_t print = Hash()
                                    .add(file_.path)
                                    .add(kind_name(f.kind))
                                    .add(f.text)
                                    .add(line_text)
                                    .add(fmt::format_int(occurrence).str())
                                    .value();
    each_({f, line_text, fmt::format("{:016x}", print), file_.findings->fix_of(f)});
  }

  const AuditedFile& file_;
  const std::function<void(const ReportedFinding&)>& each_;
  std::unordered_map<std::uint64_t, std::uint64_t> seen_;  // same finding earlier in the file
};

}  // namespace

void for_each_finding(const AuditedFile& file,
                      const std::function<void(const ReportedFinding&)>& each) {
  EachFinding walk(file, each);
  file.findings->walk(walk);
}

}  // namespace lintkeeper
