// An open document's lines and columns, as the protocol and as cron count them.
#include "lsp/text.h"

#include <algorithm>

#include "base/unicode.h"

namespace lintkeeper {

DocumentText::DocumentText(std::string text) : text_(std::move(text)) {
  line_starts_.push_back(0);
  for (std::size_t i = 0; i < text_.size(); ++i) {
    const char c = text_[i];
    if (c != '\n' && c != '\r') continue;
    content_ends_.push_back(i);
    if (c == '\r' && i + 1 < text_.size() && text_[i + 1] == '\n') ++i;
    line_starts_.push_back(i + 1);
  }
  content_ends_.push_back(text_.size());
  for (std::size_t i = 0; i < text_.size(); ++i) {
    if (i == 0 || text_[i - 1] == '\n') cron_starts_.push_back(i);
  }
}

Position DocumentText::position_of(std::size_t offset) const {
  offset = std::min(offset, text_.size());
  const auto after = std::upper_bound(line_starts_.begin(), line_starts_.end(), offset);
  const auto line = static_cast<std::size_t>(after - line_starts_.begin()) - 1;
  const std::size_t start = line_starts_[line];
  const std::size_t end = std::min(offset, content_ends_[line]);
  return {line, utf16_units(std::string_view(text_).substr(start, end - start))};
}

std::size_t DocumentText::offset_of(Position position) const {
  if (position.line >= line_starts_.size()) return text_.size();
  const auto line = static_cast<std::size_t>(position.line);
  const std::string_view content = std::string_view(text_).substr(0, content_ends_[line]);
  std::size_t pos = line_starts_[line];
  for (std::uint64_t units = 0; pos < content.size();) {
    char32_t c = 0;
    const std::size_t len = decode_utf8(content, pos, c);
    units += utf16_units(content.substr(pos, len));
    if (units > position.character) break;
    pos += len;
  }
  return pos;
}

TextEdit DocumentText::text_edit(ByteEdit edit) const {
  const auto splits_crlf = [this](std::size_t at) {
    return at > 0 && at < text_.size() && text_[at - 1] == '\r' && text_[at] == '\n';
  };
  edit.end = std::min(edit.end, text_.size());
  edit.begin = std::min(edit.begin, edit.end);
  if (splits_crlf(edit.begin)) {
    --edit.begin;
    edit.text = "\r" + edit.text;
  }
  if (splits_crlf(edit.end)) {
    ++edit.end;
    edit.text += '\n';
  }
  return {{position_of(edit.begin), position_of(edit.end)}, std::move(edit.text)};
}

std::size_t DocumentText::cron_line_begin(std::uint64_t line) const {
  if (line == 0 || line > cron_starts_.size()) return text_.size();
  return cron_starts_[static_cast<std::size_t>(line - 1)];
}

std::size_t DocumentText::cron_line_end(std::uint64_t line) const {
  if (line == 0 || line >= cron_starts_.size()) return text_.size();
  return cron_starts_[static_cast<std::size_t>(line)];
}

std::uint64_t DocumentText::cron_line_at(std::size_t offset) const {
  const auto after = std::upper_bound(cron_starts_.begin(), cron_starts_.end(), offset);
  return std::max<std::uint64_t>(1, static_cast<std::uint64_t>(after - cron_starts_.begin()));
}

DocumentRange DocumentText::cron_line_range(std::uint64_t line) const {
  const std::size_t begin = cron_line_begin(line);
  std::size_t end = cron_line_end(line);
  if (end > begin && text_[end - 1] == '\n') --end;
  if (end > begin && text_[end - 1] == '\r') --end;
  return {position_of(begin), position_of(end)};
}

}  // namespace lintkeeper
