// A streaming writer of JSON documents.
#include "formats/json_writer.h"

#include <fmt/format.h>

#include "base/escape.h"

namespace lintkeeper {

std::string json_string(std::string_view text) {
  static constexpr Replacement kEscapes[] = {
      {U'"', "\\\""}, {U'\\', "\\\\"}, {U'\n', "\\n"}, {U'\r', "\\r"},
      {U'\t', "\\t"}, {U'\b', "\\b"},  {U'\f', "\\f"},
  };
  std::string out = "\"";
  append_escaped(out, text, kEscapes, [](char32_t c, std::string& escaped) {
    if (c >= 0x20) return false;
    fmt::format_to(std::back_inserter(escaped), "\\u{:04x}", static_cast<unsigned>(c));
    return true;
  });
  out += '"';
  return out;
}

void JsonWriter::newline() {
  if (layout_ == Layout::Compact) return;
  out_.write("\n");
  for (std::size_t i = 0; i < empty_.size(); ++i) out_.write("  ");
}

void JsonWriter::before_value() {
  if (after_key_) {
    after_key_ = false;
    return;
  }
  if (empty_.empty()) return;
  if (!empty_.back()) out_.write(",");
  empty_.back() = false;
  newline();
}

JsonWriter& JsonWriter::key(std::string_view name) {
  before_value();
  value_text(name);
  out_.write(layout_ == Layout::Compact ? ":" : ": ");
  after_key_ = true;
  return *this;
}

void JsonWriter::open(char bracket) {
  before_value();
  out_.write({&bracket, 1});
  empty_.push_back(true);
}

void JsonWriter::close(char bracket) {
  const bool was_empty = empty_.back();
  empty_.pop_back();
  if (!was_empty) newline();
  out_.write({&bracket, 1});
}

void JsonWriter::value(std::string_view text) {
  before_value();
  value_text(text);
}

void JsonWriter::value_text(std::string_view text) {
  // Plain ASCII, nearly every text of a report, is written as it is, without a copy.
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte >= 0x80 || c == '"' || c == '\\') {
      out_.write(json_string(text));
      return;
    }
  }
  out_.write("\"");
  out_.write(text);
  out_.write("\"");
}

void JsonWriter::value(std::uint64_t number) {
  before_value();
  out_.print("{}", number);
}

void JsonWriter::value(bool flag) {
  before_value();
  out_.write(flag ? "true" : "false");
}

void JsonWriter::null() {
  before_value();
  out_.write("null");
}

}  // namespace lintkeeper
