#include "platform/fs/UnnamedFile.h"

#include <cerrno>

#if !defined(_WIN32)
#include <fcntl.h>
#include <unistd.h>
#endif

namespace platform {

#if defined(_WIN32)

int OpenUnnamedFile(const std::string&, unsigned) {
  errno = EOPNOTSUPP;
  return -1;
}

int LinkUnnamedFile(int, const std::string&) { return EOPNOTSUPP; }

int WriteAndSync(int, std::string_view) { return EOPNOTSUPP; }

#else

int OpenUnnamedFile(const std::string& folder, unsigned mode) {
#if defined(O_TMPFILE)
  if (::access("/proc/self/fd", X_OK) != 0) {
    errno = EOPNOTSUPP;  // nothing to link the file in by
    return -1;
  }
  return ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, static_cast<mode_t>(mode));
#else
  (void)folder;
  (void)mode;
  errno = EOPNOTSUPP;
  return -1;
#endif
}

int LinkUnnamedFile(int fd, const std::string& path) {
  const std::string self = "/proc/self/fd/" + std::to_string(fd);
  return ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) == 0 ? 0
                                                                                          : errno;
}

int WriteAndSync(int fd, std::string_view bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) {
        continue;
      }
      return errno;
    }
    done += static_cast<std::size_t>(n);
  }
  return ::fsync(fd) == 0 ? 0 : errno;
}

#endif

bool UnnamedFilesUnsupported(int errorNumber) {
  return errorNumber == EOPNOTSUPP || errorNumber == EISDIR || errorNumber == EINVAL;
}

}  // namespace platform
