// A streaming writer of JSON documents, indented by two blanks a level or compact.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "base/output.h"

namespace lintkeeper {

class JsonWriter {
 public:
  // Indented: two blanks a level, a member or element a line, for people and reports.
  // Compact: no blank or line break at all, for a program that reads an answer at once.
  enum class Layout { Indented, Compact };

  explicit JsonWriter(Output& out, Layout layout = Layout::Indented) : out_(out), layout_(layout) {}

  template <typename F>
  void object(F&& members) {
    open('{');
    members();
    close('}');
  }
  template <typename F>
  void array(F&& elements) {
    open('[');
    elements();
    close(']');
  }
  // The key of the next member of an object; its value follows.
  JsonWriter& key(std::string_view name);
  void value(std::string_view text);  // as a string; a byte that is not UTF-8 becomes U+FFFD
  void value(const char* text) { value(std::string_view(text)); }
  void value(std::uint64_t number);
  void value(bool flag);
  void null();
  // Ends the document with a line feed.
  void end() { out_.write("\n"); }

 private:
  void value_text(std::string_view text);
  void open(char bracket);
  void close(char bracket);
  void before_value();
  void newline();

  Output& out_;
  Layout layout_;
  std::vector<bool> empty_;  // per open object or array: nothing written in it yet
  bool after_key_ = false;
};

// The text as a JSON string, quotes included.
std::string json_string(std::string_view text);

}  // namespace lintkeeper
