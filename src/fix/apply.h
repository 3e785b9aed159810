// The fixes of an audited file's findings made in its text, and shown as a unified diff.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "findings/finding.h"

namespace lintkeeper {

struct AuditedFile;

// The edits --fix makes in the file: those of the safe fixes, and of the unsafe ones too when
// unsafe is set, in the order of the file. An edit that overlaps one before it is left out
// with its whole fix: a second run makes it, against the text fixed.
std::vector<Edit> edits_to_make(const AuditedFile& file, bool unsafe);

// The unified diff that the edits make of before, with three lines of context, for a file at
// path (relative, as git apply and patch -p1 take it from the working directory: "a/PATH" and
// "b/PATH"). Empty when there are no edits.
std::string unified_diff(std::string_view path, std::string_view before,
                         const std::vector<Edit>& edits);

}  // namespace lintkeeper
