// The text of an error reported by the operating system.
#include "base/os_error.h"

#include <cstring>

#include <fmt/format.h>

namespace lintkeeper {

std::string os_error(int error) {
  return fmt::format("{} (os error {})", std::strerror(error), error);
}

}  // namespace lintkeeper
