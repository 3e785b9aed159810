// Message kinds: name look-up.
#include "report/message_kind.h"

namespace lintkeeper {

std::optional<MessageKind> kind_from_name(std::string_view name) {
  for (const KindInfo& info : MESSAGE_KINDS) {
    if (info.name == name) return info.kind;
  }
  return std::nullopt;
}

}  // namespace lintkeeper
