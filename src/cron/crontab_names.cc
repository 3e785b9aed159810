// The names of the crontabs of /etc/cron.d.
#include "cron/crontab_names.h"

#include "base/chars.h"
#include "base/unicode.h"

namespace lintkeeper {

namespace {

bool has_white_space(std::string_view text) {
  for (std::size_t pos = 0; pos < text.size();) {
    char32_t c = 0;
    pos += decode_utf8(text, pos, c);
    if (is_white_space(c)) return true;
  }
  return false;
}

}  // namespace

bool cron_reads_name(std::string_view name) { return is_portable_name(name); }

bool lintkeeper_accepts_name(std::string_view name) {
  if (name.empty() || cron_reads_name(name)) return true;
  if (const std::size_t dot = name.rfind('.'); dot != std::string_view::npos) {
    const std::string_view ext = name.substr(dot + 1);
    if (ext == "disabled" || ext == "cron" || ext == "in") return true;
  }
  if (name == "cron.d") return true;
  constexpr std::string_view kCronD = ".cron.d";
  return name.size() > kCronD.size() && name.ends_with(kCronD) &&
         !has_white_space(name.substr(0, name.size() - kCronD.size()));
}

std::optional<std::string_view> file_name_of(std::string_view path) {
  // Trailing slashes and "." components do not name anything.
  std::size_t end = path.size();
  while (true) {
    while (end > 0 && path[end - 1] == '/') --end;
    if (end == 0) return std::nullopt;
    const std::size_t slash = path.rfind('/', end - 1);
    const std::size_t start = slash == std::string_view::npos ? 0 : slash + 1;
    const std::string_view last = path.substr(start, end - start);
    if (last == ".") {
      if (start == 0) return std::nullopt;  // "." alone, or "./"
      end = start;
      continue;
    }
    if (last == "..") return std::nullopt;
    return last;
  }
}

}  // namespace lintkeeper
