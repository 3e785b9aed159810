// The machine's file system, through POSIX calls.
#include "base/file_system.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace lintkeeper {

namespace {

FileStatus status_of(const struct stat& st) {
  return {st.st_mode, st.st_uid, st.st_gid, st.st_nlink, st.st_size, {st.st_dev, st.st_ino}};
}

class DiskFile final : public ReadableFile {
 public:
  DiskFile(int fd, FileIdentity identity) : fd_(fd), identity_(identity) {}
  DiskFile(const DiskFile&) = delete;
  DiskFile& operator=(const DiskFile&) = delete;
  ~DiskFile() override { ::close(fd_); }

  long read(char* data, std::size_t size, int& error) override {
    while (true) {
      const ssize_t n = ::read(fd_, data, size);
      if (n >= 0) return static_cast<long>(n);
      if (errno == EINTR) continue;
      error = errno;
      return -1;
    }
  }
  FileIdentity identity() const override { return identity_; }

 private:
  int fd_;
  FileIdentity identity_;
};

class Disk final : public FileSystem {
 public:
  int stat(const std::string& path, FileStatus& status) override {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return errno;
    status = status_of(st);
    return 0;
  }
  int lstat(const std::string& path, FileStatus& status) override {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return errno;
    status = status_of(st);
    return 0;
  }
  int read_link(const std::string& path, std::string& target) override {
    std::string link(256, '\0');
    while (true) {
      const ssize_t n = ::readlink(path.c_str(), link.data(), link.size());
      if (n < 0) return errno;
      if (static_cast<std::size_t>(n) < link.size()) {
        link.resize(static_cast<std::size_t>(n));
        target = std::move(link);
        return 0;
      }
      link.resize(link.size() * 2);  // it may have been cut short
    }
  }
  int read_dir(const std::string& path, std::vector<std::string>& names) override {
    DIR* const dir = ::opendir(path.c_str());
    if (dir == nullptr) return errno;
    names.clear();
    int error = 0;
    while (true) {
      errno = 0;
      const dirent* const entry = ::readdir(dir);
      if (entry == nullptr) {
        error = errno;
        break;
      }
      const std::string_view name = entry->d_name;
      if (name != "." && name != "..") names.emplace_back(name);
    }
    ::closedir(dir);
    return error;
  }
  int open(const std::string& path, std::unique_ptr<ReadableFile>& file) override {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return errno;
    struct stat st {};
    // The file read is the one whose identity counts, whatever the path names now.
    if (::fstat(fd, &st) != 0) {
      const int error = errno;
      ::close(fd);
      return error;
    }
    file = std::make_unique<DiskFile>(fd, FileIdentity{st.st_dev, st.st_ino});
    return 0;
  }
  bool can_execute(const std::string& path) override { return ::access(path.c_str(), X_OK) == 0; }

  int replace_file(const std::string& path, std::string_view content,
                   const FileStatus& expected) override {
    const std::size_t slash = path.rfind('/');
    const std::size_t name_at = slash == std::string::npos ? 0 : slash + 1;
    std::string temporary = path.substr(0, name_at) + "." + path.substr(name_at) + ".XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) return errno;
    int error = write_all(fd, content);
    if (error == 0 && ::fchown(fd, expected.uid, expected.gid) != 0) error = errno;
    if (error == 0 && ::fchmod(fd, expected.mode & 07777) != 0) error = errno;
    if (error == 0 && ::fsync(fd) != 0) error = errno;
    if (::close(fd) != 0 && error == 0) error = errno;
    struct stat st {};
    if (error == 0) {
      if (::lstat(path.c_str(), &st) != 0) {
        error = errno;
      } else if (FileIdentity{st.st_dev, st.st_ino} != expected.identity ||
                 st.st_size != expected.size) {
        error = ESTALE;
      }
    }
    if (error == 0 && std::rename(temporary.c_str(), path.c_str()) != 0) error = errno;
    if (error != 0) ::unlink(temporary.c_str());
    return error;
  }

 private:
  static int write_all(int fd, std::string_view content) {
    while (!content.empty()) {
      const ssize_t n = ::write(fd, content.data(), content.size());
      if (n < 0) {
        if (errno == EINTR) continue;
        return errno;
      }
      content.remove_prefix(static_cast<std::size_t>(n));
    }
    return 0;
  }
};

}  // namespace

FileSystem& disk() {
  static Disk the_disk;
  return the_disk;
}

int read_whole_file(FileSystem& fs, const std::string& path, std::string& content) {
  std::unique_ptr<ReadableFile> file;
  if (const int error = fs.open(path, file); error != 0) return error;
  content.clear();
  constexpr std::size_t kChunk = 8192;
  while (true) {
    const std::size_t used = content.size();
    content.resize(used + kChunk);
    int error = 0;
    const long n = file->read(content.data() + used, kChunk, error);
    if (n < 0) return error;
    content.resize(used + static_cast<std::size_t>(n));
    if (n == 0) return 0;
  }
}

}  // namespace lintkeeper
