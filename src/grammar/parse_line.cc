// Line parser: tries blank, comment, assignment, @ directive and scheduled line in turn.
#include "grammar/parse_line.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <optional>
#include <utility>

#if defined(__SSE2__) && !defined(LINTKEEPER_SCALAR)
#include <emmintrin.h>
#endif

#include "base/chars.h"
#include "base/unicode.h"
#include "fields/parse_field.h"

namespace lintkeeper {

namespace {

bool is_ident_start(char c) { return has_class(c, kIdentStart); }
bool is_ident_char(char c) { return has_class(c, kIdentChar); }
bool is_field_char(char c) { return has_class(c, kFieldChar); }

// A cursor over the line; every run it reads is a view into the line.
class Cursor {
 public:
  explicit Cursor(std::string_view text) : text_(text) {}

  bool at_end() const { return pos_ >= text_.size(); }
  char peek() const { return text_[pos_]; }
  void advance(std::size_t n) { pos_ += n; }
  std::string_view rest() const { return text_.substr(pos_); }

  // Steps over a run of white space; returns how many bytes it held.
  std::size_t skip_white_space() {
    const std::size_t start = pos_;
    while (!at_end()) {
      const std::size_t n = white_space_at(text_, pos_);
      if (n == 0) break;
      pos_ += n;
    }
    return pos_ - start;
  }

  // The run of non-white-space characters at the cursor.
  std::string_view take_word() {
    const std::size_t start = pos_;
    while (!at_end()) {
      const auto b = static_cast<unsigned char>(text_[pos_]);
      if (b < 0x80) {  // ASCII: no need to decode
        if (is_ascii_space(static_cast<char>(b))) break;
        ++pos_;
        continue;
      }
      if (white_space_at(text_, pos_) != 0) break;
      char32_t c = 0;
      pos_ += decode_utf8(text_, pos_, c);
    }
    return text_.substr(start, pos_ - start);
  }

  template <typename Pred>
  std::string_view take_while(Pred pred) {
    const std::size_t start = pos_;
    while (!at_end() && pred(peek())) ++pos_;
    return text_.substr(start, pos_ - start);
  }

  // A non-empty word followed by white space, which is stepped over.
  std::optional<std::string_view> column() {
    const std::string_view word = take_word();
    if (word.empty() || skip_white_space() == 0) return std::nullopt;
    return word;
  }

 private:
  std::string_view text_;
  std::size_t pos_ = 0;
};

void parse_comment(std::string_view text, CrontabLine& out) {
  const std::string_view comment = text.substr(1);
  Cursor c(text);
  c.take_while([](char ch) { return ch == '#'; });
  c.skip_white_space();
  constexpr std::string_view kWord = "lintkeeper:";
  if (c.rest().starts_with(kWord)) {
    c.advance(kWord.size());
    c.skip_white_space();
    const std::string_view r = c.rest();
    const std::size_t eq = r.rfind('=');
    if (eq != std::string_view::npos) {
      out.emplace<LintkeeperCmd>(LintkeeperCmd{comment, r.substr(0, eq), r.substr(eq + 1)});
      return;
    }
  }
  out.emplace<Comment>(Comment{comment});
}

bool parse_assignment(std::string_view text, CrontabLine& out) {
  Cursor c(text);
  const std::string_view name = c.take_while(is_ident_char);
  c.skip_white_space();
  if (c.at_end() || c.peek() != '=') return false;
  c.advance(1);
  out.emplace<EnvVar>(EnvVar{name, c.rest()});
  return true;
}

bool parse_special(std::string_view text, CrontabFlavor flavor, CrontabLine& out) {
  Cursor c(text);
  c.advance(1);  // '@'
  const std::optional<std::string_view> name = c.column();
  if (!name) return false;
  std::optional<std::string_view> user;
  if (flavor == CrontabFlavor::SystemCrontab) {
    user = c.column();
    if (!user) return false;
  }
  const std::string_view command = c.rest();
  if (command.empty()) return false;
  out.emplace<Special>(Special{*name, user, command});
  return true;
}

// Bit masks over the first kWindow bytes of a line: bit i describes byte i. The last bit of
// the 64 is never set, so that every run the masks describe ends inside them.
struct LineMasks {
  static constexpr std::size_t kWindow = 63;
  std::uint64_t space = 0;  // ASCII white space
  std::uint64_t field = 0;  // characters a time field may hold
  std::uint64_t high = 0;   // bytes of non-ASCII characters
};

#if defined(__SSE2__) && !defined(LINTKEEPER_SCALAR)
// The masks of 16 bytes, in their low 16 bits.
[[gnu::always_inline]] inline LineMasks block_masks(const char* p) {
  const auto set = [](char c) { return _mm_set1_epi8(c); };
  const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  // Bytes of 0x80 and above compare as negative, so no range test takes them in.
  const __m128i space = _mm_or_si128(_mm_cmpeq_epi8(v, set(kSpace)),
                                     _mm_and_si128(_mm_cmpgt_epi8(v, set(kFirstSpaceControl - 1)),
                                                   _mm_cmplt_epi8(v, set(kLastSpaceControl + 1))));
  const __m128i digit =
      _mm_and_si128(_mm_cmpgt_epi8(v, set('0' - 1)), _mm_cmplt_epi8(v, set('9' + 1)));
  const __m128i lower = _mm_or_si128(v, set(0x20));
  const __m128i letter =
      _mm_and_si128(_mm_cmpgt_epi8(lower, set('a' - 1)), _mm_cmplt_epi8(lower, set('z' + 1)));
  const __m128i punct =
      _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, set('*')), _mm_cmpeq_epi8(v, set(','))),
                   _mm_or_si128(_mm_cmpeq_epi8(v, set('-')), _mm_cmpeq_epi8(v, set('/'))));
  const auto bits = [](__m128i x) {
    return static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(x)));
  };
  return {bits(space), bits(_mm_or_si128(_mm_or_si128(digit, letter), punct)), bits(v)};
}
#else
[[gnu::always_inline]] inline LineMasks block_masks(const char* p) {
  LineMasks m;
  for (unsigned i = 0; i < 16; ++i) {
    m.space |= static_cast<std::uint64_t>(is_ascii_space(p[i])) << i;
    m.field |= static_cast<std::uint64_t>(is_field_char(p[i])) << i;
    m.high |= static_cast<std::uint64_t>(static_cast<unsigned char>(p[i]) >> 7) << i;
  }
  return m;
}
#endif

void add_block(LineMasks& m, const LineMasks& block, unsigned shift) {
  m.space |= block.space << shift;
  m.field |= block.field << shift;
  m.high |= block.high << shift;
}

LineMasks scan_masks(std::string_view text) {
  constexpr std::size_t kBlock = 16;
  LineMasks m;
  const std::size_t size = text.size();
  if (size < kBlock) {
    // Too short to read a whole block from the text itself.
    char bytes[kBlock] = {};
    if (size > 0) std::memcpy(bytes, text.data(), size);  // an empty view may have no data
    return block_masks(bytes);
  }
  // Whole blocks are read where they lie; the part of a block at the end of the text is
  // read as the last 16 bytes of the text, and the bits of bytes seen before are shifted out.
  const std::size_t whole = size / kBlock < 4 ? size / kBlock : 4;
  for (std::size_t b = 0; b < whole; ++b) {
    add_block(m, block_masks(text.data() + b * kBlock), static_cast<unsigned>(b * kBlock));
  }
  if (whole < 4 && size % kBlock != 0) {
    const auto rest = static_cast<unsigned>(size % kBlock);
    LineMasks tail = block_masks(text.data() + size - kBlock);
    tail.space >>= kBlock - rest;
    tail.field >>= kBlock - rest;
    tail.high >>= kBlock - rest;
    add_block(m, tail, static_cast<unsigned>(whole * kBlock));
  }
  constexpr std::uint64_t kInWindow = ~(std::uint64_t{1} << LineMasks::kWindow);
  m.space &= kInWindow;
  m.field &= kInWindow;
  m.high &= kInWindow;
  return m;
}

// Length of the run of set bits of mask from bit pos (pos < 64, and the run ends before
// bit 63).
unsigned run_length(std::uint64_t mask, std::size_t pos) {
  return static_cast<unsigned>(__builtin_ctzll(~mask >> pos));
}

}  // namespace

std::optional<ScheduleColumns> split_columns_fast(std::string_view text, CrontabFlavor flavor) {
  const LineMasks m = scan_masks(text);
  // Where each field starts and how long it is; the columns are made only at the end, from
  // their values, rather than cleared first and then set.
  constexpr std::size_t kFields = Schedule::kFieldCount;
  std::array<unsigned, kFields> start, length;
  std::size_t pos = 0;
  for (std::size_t i = 0; i < kFields; ++i) {
    start[i] = static_cast<unsigned>(pos);
    length[i] = run_length(m.field, pos);
    const unsigned gap = run_length(m.space, pos + length[i]);
    if (length[i] == 0 || gap == 0) return std::nullopt;
    pos += length[i] + gap;
  }
  std::string_view user;
  if (flavor == CrontabFlavor::SystemCrontab) {
    // The user column ends at white space; a non-ASCII character may be white space.
    const std::uint64_t stop = m.space | m.high | (std::uint64_t{1} << LineMasks::kWindow);
    const auto user_length = static_cast<unsigned>(__builtin_ctzll(stop >> pos));
    const std::size_t end = pos + user_length;
    if (user_length == 0 || ((m.space >> end) & 1) == 0) return std::nullopt;
    user = {text.data() + pos, user_length};
    pos = end + run_length(m.space, end);
  }
  // The command starts after the white space; a non-ASCII character there may be white
  // space too, and a run that reaches the end of the window may go on.
  if (pos >= LineMasks::kWindow || pos >= text.size() || ((m.high >> pos) & 1) != 0) {
    return std::nullopt;
  }
  const auto fields = [&]<std::size_t... I>(std::index_sequence<I...>) {
    return std::array<std::string_view, kFields>{
        std::string_view(text.data() + start[I], length[I])...};
  };
  return ScheduleColumns{
      fields(std::make_index_sequence<kFields>()), user, {text.data() + pos, text.size() - pos}};
}

std::optional<ScheduleColumns> split_columns(std::string_view text, CrontabFlavor flavor) {
  ScheduleColumns out;
  Cursor c(text);
  for (std::string_view& field : out.fields) {
    field = c.take_while(is_field_char);
    if (field.empty() || c.skip_white_space() == 0) return std::nullopt;
  }
  if (flavor == CrontabFlavor::SystemCrontab) {
    const std::optional<std::string_view> column = c.column();
    if (!column) return std::nullopt;
    out.user = *column;
  }
  out.command = c.rest();
  if (out.command.empty()) return std::nullopt;
  return out;
}

namespace {

bool parse_scheduled(std::string_view text, CrontabFlavor flavor, CrontabLine& out) {
  std::optional<ScheduleColumns> columns = split_columns_fast(text, flavor);
  if (!columns) columns = split_columns(text, flavor);
  if (!columns) return false;
  // The fields are parsed only once the whole line has matched.
  if (flavor == CrontabFlavor::UserCrontab) {
    Standard& line = out.emplace<Standard>();
    parse_schedule(columns->fields, line.schedule);
    line.command = columns->command;
  } else {
    System& line = out.emplace<System>();
    parse_schedule(columns->fields, line.schedule);
    line.user = columns->user;
    line.command = columns->command;
  }
  return true;
}

}  // namespace

CrontabLine parse_line(std::string_view text, CrontabFlavor flavor) {
  // Starts as the fallback, made in place: a default-constructed variant would first clear
  // all of its storage.
  CrontabLine line(std::in_place_type<Unknown>, Unknown{text});
  if (text.empty()) {
    line.emplace<Blank>();
    return line;
  }
  const char first = text.front();
  if (first == '#') {
    parse_comment(text, line);
  } else if (!(is_ident_start(first) && parse_assignment(text, line)) &&
             !(first == '@' && parse_special(text, flavor, line))) {
    parse_scheduled(text, flavor, line);
  }
  return line;
}

}  // namespace lintkeeper
