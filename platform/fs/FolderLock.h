#pragma once

#include <string>

namespace platform {

/// Holds an exclusive lock on a folder for as long as it lives, so that processes updating
/// files in that folder take turns. On POSIX systems the folder itself is locked (flock); on
/// Windows, which cannot lock a folder, a hidden lock file ".tonvale-lock" in it (LockFileEx).
/// Locking is best effort: where the folder cannot be locked the object holds nothing.
class FolderLock {
 public:
  explicit FolderLock(const std::string& folder);
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;
  ~FolderLock();

 private:
#if defined(_WIN32)
  void* m_handle = nullptr;
#else
  int m_fd = -1;
#endif
};

}  // namespace platform
