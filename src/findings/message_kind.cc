// Message kinds: name look-up.
#include "findings/message_kind.h"

namespace lintkeeper {

std::optional<MessageKind> line_kind_from_name(std::string_view name) {
  for (std::size_t i = 0; i < LINE_KIND_COUNT; ++i) {
    if (MESSAGE_KINDS[i].name == name) return MESSAGE_KINDS[i].kind;
  }
  return std::nullopt;
}

}  // namespace lintkeeper
