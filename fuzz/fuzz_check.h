// Helpers shared by the fuzz targets: a check that aborts, and the comparison of the two
// debug layouts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

namespace lintkeeper::fuzz {

// Stops the run so that libFuzzer keeps the input: a broken invariant is a finding.
[[noreturn]] inline void fail(const char* what, std::string_view detail) {
  std::fprintf(stderr, "invariant broken: %s\n%.*s\n", what, static_cast<int>(detail.size()),
               detail.data());
  std::abort();
}

inline void check(bool ok, const char* what, std::string_view detail = {}) {
  if (!ok) fail(what, detail);
}

// Gives run an input's first byte as its options and the rest as a crontab; an empty input
// is passed over.
template <typename Run>
int with_option_byte(const std::uint8_t* data, std::size_t size, Run run) {
  if (size == 0) return 0;
  run(data[0], std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1));
  return 0;
}

// True when view lies inside [text.data(), text.data() + text.size()].
inline bool inside(std::string_view view, std::string_view text) {
  const char* begin = text.data();
  const char* end = begin + text.size();
  return view.data() >= begin && view.data() <= end &&
         view.size() <= std::size_t(end - view.data());
}

// Folds the verbose debug form into the one-line form, checking its layout on the way: each
// line indented by four spaces a nesting level, every member and element line ending with a
// comma. Returns nothing when the layout is broken.
inline std::optional<std::string> fold_verbose(std::string_view verbose) {
  std::string out;
  std::string_view owed;  // separator owed before the next member or element
  std::size_t depth = 0;
  bool done = false;  // the last line at depth 0 has been seen
  std::size_t start = 0;
  while (start <= verbose.size()) {
    std::size_t end = verbose.find('\n', start);
    if (end == std::string_view::npos) end = verbose.size();
    std::string_view line = verbose.substr(start, end - start);
    start = end + 1;
    if (done) return std::nullopt;
    const std::size_t indent = line.find_first_not_of(' ');
    if (indent == std::string_view::npos) return std::nullopt;
    std::string_view body = line.substr(indent);
    const char first = body.front();
    const bool closing = first == '}' || first == ']' || first == ')';
    if (closing) {
      if (depth == 0) return std::nullopt;
      --depth;
    }
    if (indent != depth * 4) return std::nullopt;
    if (closing) {
      if (body.size() > 2 || (body.size() == 2 && body[1] != ',')) return std::nullopt;
      if (first == '}') out += ' ';
      out += first;
      owed = body.size() == 2 ? ", " : "";
      if (body.size() == 1) {
        if (depth != 0) return std::nullopt;
        done = true;
      }
      continue;
    }
    out += owed;
    owed = "";
    const char last = body.back();
    if (last == '{') {
      out += body;
      out += ' ';
      ++depth;
    } else if (last == '[' || last == '(') {
      out += body;
      ++depth;
    } else if (last == ',') {
      if (depth == 0) return std::nullopt;
      body.remove_suffix(1);
      out += body;
      owed = ", ";
    } else {
      if (depth != 0) return std::nullopt;
      out += body;
      done = true;
    }
  }
  if (!done || depth != 0) return std::nullopt;
  return out;
}

// The verbose debug form of a value folds back onto its one-line debug form.
inline void check_verbose_folds(const std::string& debug, const std::string& verbose) {
  const std::optional<std::string> folded = fold_verbose(verbose);
  check(folded.has_value(), "the verbose layout is broken", verbose);
  check(*folded == debug, "the verbose form does not fold to the one-line form",
        debug + "\n" + *folded);
}

}  // namespace lintkeeper::fuzz
