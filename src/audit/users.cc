// The user directories of an audit.
#include "audit/users.h"

#include <charconv>
#include <fstream>

namespace lintkeeper {

UserLookup CachedUsers::lookup(std::string_view name, uid_t* uid) {
  auto found = answers_.find(std::string(name));
  if (found == answers_.end()) {
    uid_t id = 0;
    const UserLookup answer = source_.lookup(name, &id);
    found = answers_.emplace(std::string(name), std::pair(answer, id)).first;
  }
  if (uid != nullptr) *uid = found->second.second;
  return found->second.first;
}

PasswdFileUsers::PasswdFileUsers(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return;
  readable_ = true;
  // name:password:uid:gid:gecos:home:shell; the first entry of a name counts, as for
  // getpwnam.
  std::string line;
  while (std::getline(in, line)) {
    const std::size_t first = line.find(':');
    const std::size_t second = first == std::string::npos ? first : line.find(':', first + 1);
    if (second == std::string::npos) continue;
    const std::size_t third = line.find(':', second + 1);
    const std::string_view uid_text = std::string_view(line).substr(
        second + 1, third == std::string::npos ? third : third - second - 1);
    uid_t uid = 0;
    const auto [end, error] =
        std::from_chars(uid_text.data(), uid_text.data() + uid_text.size(), uid);
    if (error != std::errc() || end != uid_text.data() + uid_text.size()) continue;
    uids_.emplace(line.substr(0, first), uid);
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
