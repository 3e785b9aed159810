// An open document's text, counted both ways: as the language server protocol counts it
// (lines ended by "\n", "\r\n" or "\r", columns in UTF-16 code units) and as cron reads it
// (lines ended by "\n", numbered from 1, columns in bytes).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace lintkeeper {

// A place in a document as the protocol names it: a line from 0 and a column in UTF-16 code
// units of that line.
struct Position {
  std::uint64_t line = 0;
  std::uint64_t character = 0;
  friend bool operator==(const Position&, const Position&) = default;
};

struct DocumentRange {
  Position start;
  Position end;
  friend bool operator==(const DocumentRange&, const DocumentRange&) = default;
};

// A replacement of the bytes [begin, end) of the text.
struct ByteEdit {
  std::size_t begin = 0;
  std::size_t end = 0;
  std::string text;
};

// The same edit in the protocol's terms.
struct TextEdit {
  DocumentRange range;
  std::string text;
  friend bool operator==(const TextEdit&, const TextEdit&) = default;
};

class DocumentText {
 public:
  DocumentText() : DocumentText(std::string()) {}
  explicit DocumentText(std::string text);

  const std::string& text() const { return text_; }

  // The position of a byte offset (at most the size of the text). An offset between the
  // "\r" and the "\n" of a line's end is the end of that line.
  Position position_of(std::size_t offset) const;
  // The byte offset of a position: a column past the end of its line is the line's end, a
  // line past the last the end of the text, and a column inside a character its start.
  std::size_t offset_of(Position position) const;
  // The edit in the protocol's terms. An edit that would split a "\r\n" is widened to take
  // it whole, so that a client that reads "\r\n" as one line break makes the same change.
  TextEdit text_edit(ByteEdit edit) const;

  // Cron's lines, from 1: how many there are, and where the line (with its "\n") starts and
  // ends; a line past the last starts and ends at the end of the text.
  std::uint64_t cron_line_count() const { return cron_starts_.size(); }
  std::size_t cron_line_begin(std::uint64_t line) const;
  std::size_t cron_line_end(std::uint64_t line) const;
  // The line of the byte at offset; the last line for the end of the text.
  std::uint64_t cron_line_at(std::size_t offset) const;
  // The whole line without its line break ("\n" or "\r\n"), as the protocol counts it.
  DocumentRange cron_line_range(std::uint64_t line) const;

 private:
  std::string text_;
  std::vector<std::size_t> line_starts_;   // of the protocol's lines
  std::vector<std::size_t> content_ends_;  // of the protocol's lines, before their break
  std::vector<std::size_t> cron_starts_;   // of cron's lines
};

}  // namespace lintkeeper
