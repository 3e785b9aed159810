// Preloaded by tests: close() of a file whose path ends in $FAIL_CLOSE_SUFFIX closes it, then
// fails with EIO, as a write that a network file system only reports at close would.
#include <dlfcn.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string_view>

extern "C" int close(int fd) {
  using Close = int (*)(int);
  static const auto real_close = reinterpret_cast<Close>(dlsym(RTLD_NEXT, "close"));
  const char* suffix = std::getenv("FAIL_CLOSE_SUFFIX");
  char link[64], path[4096];
  std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
  const ssize_t n = suffix != nullptr ? readlink(link, path, sizeof path) : -1;
  const int result = real_close(fd);
  if (n > 0 && std::string_view(path, static_cast<std::size_t>(n)).ends_with(suffix)) {
    errno = EIO;
    return -1;
  }
  return result;
}
