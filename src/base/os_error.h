// The text of an error reported by the operating system.
#pragma once

#include <string>

namespace lintkeeper {

// "Permission denied (os error 13)": the system's description, then the error number.
std::string os_error(int error);

}  // namespace lintkeeper
