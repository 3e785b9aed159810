// The users of a root's own etc/passwd.
#include "audit/users.h"

#include <charconv>

namespace lintkeeper {

PasswdFileUsers::PasswdFileUsers(FileSystem& fs, const std::string& path) {
  std::string content;
  if (read_whole_file(fs, path, content) != 0) return;
  readable_ = true;
  // name:password:uid:gid:gecos:home:shell; the first entry of a name counts, as for
  // getpwnam.
  std::string_view rest = content;
  while (!rest.empty()) {
    const std::size_t end = rest.find('\n');
    const std::string_view line = rest.substr(0, end);
    rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
    const std::size_t first = line.find(':');
    const std::size_t second = first == std::string_view::npos ? first : line.find(':', first + 1);
    if (second == std::string_view::npos) continue;
    const std::size_t third = line.find(':', second + 1);
    const std::string_view uid_text =
        line.substr(second + 1, third == std::string_view::npos ? third : third - second - 1);
    uid_t uid = 0;
    const auto [stop, error] =
        std::from_chars(uid_text.data(), uid_text.data() + uid_text.size(), uid);
    if (error != std::errc() || stop != uid_text.data() + uid_text.size()) continue;
    uids_.emplace(std::string(line.substr(0, first)), uid);
  }
}

UserLookup PasswdFileUsers::lookup(std::string_view name, uid_t* uid) {
  if (!readable_) return UserLookup::Failed;
  const auto found = uids_.find(std::string(name));
  if (found == uids_.end()) return UserLookup::NotFound;
  if (uid != nullptr) *uid = found->second;
  return UserLookup::Found;
}

}  // namespace lintkeeper
