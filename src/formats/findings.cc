// The findings of an audit as every format reads them.
#include "formats/findings.h"

#include <unordered_map>

#include <fmt/format.h>

namespace lintkeeper {

namespace {

// FNV-1a, 64 bits, over the parts with a zero byte after each.
class Hash {
 public:
  Hash& add(std::string_view part) {
    for (const char c : part) mix(static_cast<unsigned char>(c));
    mix(0);
    return *this;
  }
  std::uint64_t value() const { return value_; }

 private:
  void mix(unsigned char byte) {
    value_ ^= byte;
    value_ *= 0x100000001b3ull;
  }
  std::uint64_t value_ = 0xcbf29ce484222325ull;
};

}  // namespace

void for_each_finding(const AuditedFile& file, const std::function<void(const Finding&)>& each) {
  std::unordered_map<std::uint64_t, std::uint64_t> seen;  // same finding earlier in the file
  const auto emit = [&](const LineMessage& m, std::uint64_t line, std::string_view line_text) {
    const std::uint64_t same = Hash().add(kind_name(m.kind)).add(m.text).add(line_text).value();
    const std::uint64_t occurrence = seen[same]++;
    const std::uint64_t print = Hash()
                                    .add(file.path)
                                    .add(kind_name(m.kind))
                                    .add(m.text)
                                    .add(line_text)
                                    .add(fmt::format_int(occurrence).str())
                                    .value();
    each({m.kind, m.text, line, line_text, fmt::format("{:016x}", print)});
  };
  for (const LineMessage& m : file.report->file_messages()) emit(m, m.line, {});
  LineRecord record{};
  for (LineStore::Cursor lines = file.report->lines(); lines.next(record);) {
    for (const LineMessage& m : record.messages) emit(m, record.number, record.text);
  }
}

}  // namespace lintkeeper
