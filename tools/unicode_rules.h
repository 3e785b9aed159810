// The two Unicode facts of the core, computed from ICU: shared by the table generator and the
// test that holds the generated tables to ICU.
#pragma once

#include <unicode/uchar.h>
#include <unicode/uversion.h>

namespace lintkeeper {

// Whether the quoted debug form writes c as \u{...} rather than as itself: controls, format
// characters, surrogates, private use, unassigned code points, line and paragraph separators,
// spaces other than U+0020 (they look like it), and grapheme extenders (combining marks would
// join the quote or the character before them).
inline bool icu_needs_unicode_escape(char32_t c) {
  const auto cp = static_cast<UChar32>(c);
  switch (u_charType(cp)) {
    case U_CONTROL_CHAR:
    case U_FORMAT_CHAR:
    case U_SURROGATE:
    case U_PRIVATE_USE_CHAR:
    case U_UNASSIGNED:
    case U_LINE_SEPARATOR:
    case U_PARAGRAPH_SEPARATOR:
      return true;
    case U_SPACE_SEPARATOR:
      return c != U' ';
    default:
      return u_hasBinaryProperty(cp, UCHAR_GRAPHEME_EXTEND);
  }
}

// The White_Space property.
inline bool icu_is_white_space(char32_t c) {
  return u_hasBinaryProperty(static_cast<UChar32>(c), UCHAR_WHITE_SPACE);
}

}  // namespace lintkeeper
