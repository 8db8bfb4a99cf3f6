#include "platform/fs/FolderLock.h"

#include <cerrno>

#if defined(_WIN32)
#include <windows.h>

#include "platform/fs/NativePath.h"
#else
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

namespace platform {

#if defined(_WIN32)

FolderLock::FolderLock(const std::string& folder) {
  const std::wstring path = NativePath(folder + "\\.tonvale-lock").wstring();
  const HANDLE handle = ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_HIDDEN, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    return;
  }
  OVERLAPPED whole{};
  if (!::LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &whole)) {
    ::CloseHandle(handle);
    return;
  }
  m_handle = handle;
}

FolderLock::~FolderLock() {
  if (m_handle != nullptr) {
    OVERLAPPED whole{};
    ::UnlockFileEx(static_cast<HANDLE>(m_handle), 0, MAXDWORD, MAXDWORD, &whole);
    ::CloseHandle(static_cast<HANDLE>(m_handle));
  }
}

#else

FolderLock::FolderLock(const std::string& folder) {
  m_fd = ::open(folder.c_str(), O_RDONLY | O_CLOEXEC);
  if (m_fd < 0) {
    return;
  }
  while (::flock(m_fd, LOCK_EX) != 0) {
    if (errno != EINTR) {
      ::close(m_fd);
      m_fd = -1;
      return;
    }
  }
}

FolderLock::~FolderLock() {
  if (m_fd >= 0) {
    ::flock(m_fd, LOCK_UN);
    ::close(m_fd);
  }
}

#endif

}  // namespace platform
