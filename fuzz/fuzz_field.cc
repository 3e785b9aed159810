// Fuzz target: the time-field parser on arbitrary bytes.
//
// Checks that a field without error has items, that every name is a piece of the token,
// that the error text marks the token as the two error forms say, that both debug layouts
// agree, and that the items written back in their text form read again as the same items.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>

#include "fields/parse_field.h"
#include "fields/time_fields.h"
#include "fuzz/fuzz_check.h"
#include "grammar/print.h"

namespace lintkeeper {
namespace {

using fuzz::check;

bool is_ascii_letter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

void check_name(std::string_view name, std::string_view token) {
  check(fuzz::inside(name, token), "a name lies outside the token", token);
  check(!name.empty(), "an empty name", token);
  for (const char c : name) check(is_ascii_letter(c), "a name holds a non-letter", token);
}

void check_names(const FieldItem& item, std::string_view token) {
  if (const auto* t = std::get_if<Text>(&item)) check_name(t->name, token);
  if (const auto* r = std::get_if<TextRange>(&item)) {
    check_name(r->start, token);
    check_name(r->end, token);
  }
  if (const auto* r = std::get_if<TextRangeStep>(&item)) {
    check_name(r->start, token);
    check_name(r->end, token);
  }
}

// The context form: "BEFORE[[C]]AFTER" in double quotes, where BEFORE C AFTER is the token
// and C one character of one to four bytes.
bool is_context_error(std::string_view error, std::string_view token) {
  if (error.size() != token.size() + 6 || error.front() != '"' || error.back() != '"') {
    return false;
  }
  const std::string_view inner = error.substr(1, error.size() - 2);
  for (std::size_t p = 0; p < token.size(); ++p) {
    if (inner.substr(p, 2) == "[[") {
      for (std::size_t n = 1; n <= 4 && p + n <= token.size(); ++n) {
        if (inner.substr(p + 2, n) == token.substr(p, n) && inner.substr(p + 2 + n, 2) == "]]" &&
            inner.substr(p + 4 + n) == token.substr(p + n)) {
          return true;
        }
      }
    }
    if (inner[p] != token[p]) return false;
  }
  return false;
}

// True when every digit run of the token reads back unchanged: no leading zero and too
// short to saturate.
bool numbers_read_back(std::string_view token) {
  std::size_t run = 0;
  for (std::size_t i = 0; i <= token.size(); ++i) {
    if (i < token.size() && token[i] >= '0' && token[i] <= '9') {
      if (run == 1 && token[i - 1] == '0') return false;
      ++run;
      if (run >= 20) return false;
    } else {
      run = 0;
    }
  }
  return true;
}

void check_field(std::string_view token) {
  const Field field = parse_field(token);
  check(field.text.data() == token.data() && field.text.size() == token.size(),
        "the field text is not the token", token);
  for (const FieldItem& item : field.items) check_names(item, token);

  const std::string debug = format_debug(field);
  fuzz::check_verbose_folds(debug, format_debug_verbose(field));

  std::size_t commas = 0;
  for (const char c : token) commas += c == ',' ? 1 : 0;

  if (field.error) {
    const std::string& error = *field.error;
    const bool incomplete = error == "\"" + std::string(token) + "\" is incomplete";
    check(incomplete || is_context_error(error, token), "an error text of neither form", error);
    // The items kept before an error are those of the first k comma-separated pieces, and
    // the k-th comma has something after it.
    const std::size_t k = field.items.size();
    if (k == 0) return;
    std::size_t comma = std::string_view::npos;
    for (std::size_t i = 0; i < k; ++i) {
      comma = token.find(',', comma + 1);
      check(comma != std::string_view::npos, "more items than commas before an error", token);
    }
    check(comma + 1 < token.size(), "an item kept before a comma that ends the token", token);
    Field prefix = parse_field(token.substr(0, comma));
    check(!prefix.error.has_value(), "the pieces before an error do not parse", token);
    prefix.text = field.text;
    prefix.error = field.error;
    check(format_debug(prefix) == debug, "the items kept before an error are not the pieces",
          token);
    return;
  }

  check(!field.items.empty(), "a field without error has no item", token);
  check(field.items.size() == commas + 1, "items and commas do not match", token);
  std::string joined;
  for (const FieldItem& item : field.items) {
    if (!joined.empty()) joined += ',';
    joined += item_text(item);
  }
  if (numbers_read_back(token)) {
    check(joined == token, "the items written back differ from the token", joined);
  }
  Field again = parse_field(joined);
  check(!again.error.has_value(), "the items written back do not parse", joined);
  again.text = field.text;
  check(format_debug(again) == debug, "the items written back parse differently", joined);
}

}  // namespace
}  // namespace lintkeeper

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  lintkeeper::check_field(std::string_view(reinterpret_cast<const char*>(data), size));
  return 0;
}
