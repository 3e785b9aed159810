// A file by its device and inode, to tell whether two paths or descriptors are one file.
#pragma once

#include <sys/types.h>

namespace lintkeeper {

struct FileIdentity {
  dev_t device;
  ino_t inode;

  friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

}  // namespace lintkeeper
