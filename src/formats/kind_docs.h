// The documentation page of each message kind (docs/kinds/KIND.md), compiled in.
#pragma once

#include <string_view>

#include "findings/message_kind.h"

namespace lintkeeper {

// The Markdown text of the kind's page, or an empty text when it has none.
std::string_view kind_doc(MessageKind kind);

// The first paragraph of a page after its title: what the kind means, in a sentence or two,
// with its lines joined by blanks.
std::string doc_summary(std::string_view page);

}  // namespace lintkeeper
