// A file system held in memory.
#include "base/memory_file_system.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace lintkeeper {

namespace {

constexpr int kMaxLinks = 40;  // as the kernel: more is a loop

std::string parent_of(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return {};
  return slash == 0 ? std::string("/") : path.substr(0, slash);
}

class MemoryFile final : public ReadableFile {
 public:
  MemoryFile(std::string content, FileIdentity identity)
      : content_(std::move(content)), identity_(identity) {}
  long read(char* data, std::size_t size, int&) override {
    const std::size_t n = std::min(size, content_.size() - offset_);
    if (n > 0) std::memcpy(data, content_.data() + offset_, n);
    offset_ += n;
    return static_cast<long>(n);
  }
  FileIdentity identity() const override { return identity_; }

 private:
  std::string content_;
  std::size_t offset_ = 0;
  FileIdentity identity_;
};

}  // namespace

MemoryFileSystem::Node& MemoryFileSystem::add(const std::string& path, mode_t mode, uid_t uid) {
  const std::string parent = parent_of(path);
  if (!parent.empty() && parent != "/" && nodes_.find(parent) == nodes_.end()) add_dir(parent);
  auto node = std::make_shared<Node>();
  node->status.mode = mode;
  node->status.uid = uid;
  node->status.identity = {1, next_inode_++};
  nodes_[path] = node;
  return *node;
}

void MemoryFileSystem::add_file(const std::string& path, std::string_view content, mode_t mode,
                                uid_t uid) {
  Node& node = add(path, S_IFREG | (mode & 07777), uid);
  node.content = std::string(content);
  node.status.size = static_cast<off_t>(content.size());
}

void MemoryFileSystem::add_dir(const std::string& path, mode_t mode, uid_t uid) {
  add(path, S_IFDIR | (mode & 07777), uid);
}

void MemoryFileSystem::add_link(const std::string& path, std::string_view target, uid_t uid) {
  Node& node = add(path, S_IFLNK | 0777, uid);
  node.content = std::string(target);
  node.status.size = static_cast<off_t>(target.size());
}

void MemoryFileSystem::add_fifo(const std::string& path, mode_t mode, uid_t uid) {
  add(path, S_IFIFO | (mode & 07777), uid);
}

void MemoryFileSystem::add_hard_link(const std::string& existing, const std::string& path) {
  const std::shared_ptr<Node> node = nodes_.at(existing);
  ++node->status.links;
  nodes_[path] = node;
}

void MemoryFileSystem::fail(const std::string& path, int error) {
  auto found = nodes_.find(path);
  if (found == nodes_.end()) {
    add(path, S_IFREG | 0644, 0);
    found = nodes_.find(path);
  }
  found->second->error = error;
}

void MemoryFileSystem::set_executable(const std::string& path, bool executable) {
  nodes_.at(path)->executable = executable ? 1 : 0;
}

std::shared_ptr<MemoryFileSystem::Node> MemoryFileSystem::find(const std::string& path, bool follow,
                                                               int& error, bool read) const {
  std::string current = path;
  for (int i = 0; i <= kMaxLinks; ++i) {
    const auto found = nodes_.find(current);
    if (found == nodes_.end()) {
      error = ENOENT;
      return nullptr;
    }
    const std::shared_ptr<Node>& node = found->second;
    if (!follow || !S_ISLNK(node->status.mode)) {
      if (read && node->error != 0) {
        error = node->error;
        return nullptr;
      }
      return node;
    }
    const std::string& target = node->content;
    const std::string parent = parent_of(current);
    current = target.starts_with('/') || parent.empty() ? target
              : parent == "/"                           ? "/" + target
                                                        : parent + "/" + target;
  }
  error = ELOOP;
  return nullptr;
}

int MemoryFileSystem::stat(const std::string& path, FileStatus& status) {
  int error = 0;
  const std::shared_ptr<Node> node = find(path, true, error);
  if (node == nullptr) return error;
  status = node->status;
  return 0;
}

int MemoryFileSystem::lstat(const std::string& path, FileStatus& status) {
  int error = 0;
  const std::shared_ptr<Node> node = find(path, false, error);
  if (node == nullptr) return error;
  status = node->status;
  return 0;
}

int MemoryFileSystem::read_link(const std::string& path, std::string& target) {
  int error = 0;
  const std::shared_ptr<Node> node = find(path, false, error);
  if (node == nullptr) return error;
  if (!S_ISLNK(node->status.mode)) return EINVAL;
  target = node->content;
  return 0;
}

int MemoryFileSystem::read_dir(const std::string& path, std::vector<std::string>& names) {
  int error = 0;
  const std::shared_ptr<Node> node = find(path, true, error, true);
  if (node == nullptr) return error;
  if (!S_ISDIR(node->status.mode)) return ENOTDIR;
  names.clear();
  const std::string prefix = path == "/" ? path : path + "/";
  for (auto it = nodes_.lower_bound(prefix); it != nodes_.end(); ++it) {
    const std::string& name = it->first;
    if (!name.starts_with(prefix)) break;
    if (name.find('/', prefix.size()) == std::string::npos)
      names.push_back(name.substr(prefix.size()));
  }
  return 0;
}

int MemoryFileSystem::open(const std::string& path, std::unique_ptr<ReadableFile>& file) {
  int error = 0;
  const std::shared_ptr<Node> node = find(path, true, error, true);
  if (node == nullptr) return error;
  if (S_ISDIR(node->status.mode)) {
    // A directory opens, as on the disk, and fails at the first read.
    class Directory final : public ReadableFile {
     public:
      explicit Directory(FileIdentity identity) : identity_(identity) {}
      long read(char*, std::size_t, int& read_error) override {
        read_error = EISDIR;
        return -1;
      }
      FileIdentity identity() const override { return identity_; }

     private:
      FileIdentity identity_;
    };
    file = std::make_unique<Directory>(node->status.identity);
    return 0;
  }
  file = std::make_unique<MemoryFile>(node->content, node->status.identity);
  return 0;
}

bool MemoryFileSystem::can_execute(const std::string& path) {
  int error = 0;
  const std::shared_ptr<Node> node = find(path, true, error);
  if (node == nullptr) return false;
  if (node->executable >= 0) return node->executable == 1;
  return (node->status.mode & 0111) != 0;
}

int MemoryFileSystem::replace_file(const std::string& path, std::string_view content,
                                   const FileStatus& expected) {
  if (std::find(read_only_.begin(), read_only_.end(), parent_of(path)) != read_only_.end()) {
    return EROFS;
  }
  int error = 0;
  const std::shared_ptr<Node> node = find(path, false, error);
  if (node == nullptr) return error;
  if (node->status.identity != expected.identity || node->status.size != expected.size) {
    return ESTALE;
  }
  // A new file: another name of the old one keeps the old bytes.
  auto fresh = std::make_shared<Node>(*node);
  fresh->content = std::string(content);
  fresh->status = expected;
  fresh->status.links = 1;
  fresh->status.size = static_cast<off_t>(content.size());
  fresh->status.identity = {1, next_inode_++};
  nodes_[path] = fresh;
  return 0;
}

void MemoryFileSystem::set_read_only(const std::string& dir) { read_only_.push_back(dir); }

}  // namespace lintkeeper
