#include "platform/fs/TempFile.h"

#include <cerrno>
#include <filesystem>
#include <system_error>

#include "platform/fs/FileSystem.h"
#include "platform/fs/NativePath.h"
#include "platform/fs/TempFileNames.h"
#include "platform/fs/UnnamedFile.h"

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace platform {
namespace {

// Creates the empty file `path`, which must not exist, for its owner only; 0 or the error.
int CreateEmptyPrivateFile(const std::string& path) {
#if defined(_WIN32)
  int fd = -1;
  const int error =
      ::_wsopen_s(&fd, NativePath(path).c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY,
                  _SH_DENYNO, _S_IREAD | _S_IWRITE);
  if (error == 0 && fd >= 0) {
    ::_close(fd);
  }
  return error;
#else
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) {
    return errno;
  }
  ::close(fd);
  return 0;
#endif
}

}  // namespace

std::optional<TempFile> TempFile::Create() {
  const std::string folder = SystemTempFolder();
  const int unnamed = OpenUnnamedFile(folder, 0600);
  if (unnamed >= 0) {
    return TempFile("/proc/self/fd/" + std::to_string(unnamed), unnamed);
  }
  (void)RemoveStaleTempFiles(folder, kScratchTempPrefix);
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string path =
        Utf8Path(NativePath(folder) / NativePath(UniqueTempName(kScratchTempPrefix)));
    const int error = CreateEmptyPrivateFile(path);
    if (error == 0) {
      return TempFile(path, -1);
    }
    if (error != EEXIST) {
      break;
    }
  }
  return std::nullopt;
}

void TempFile::Remove() noexcept {
  if (m_fd >= 0) {
#if !defined(_WIN32)
    ::close(m_fd);  // an unnamed file goes with its last descriptor
#endif
    m_fd = -1;
  } else if (!m_path.empty()) {
    std::error_code ec;
    std::filesystem::remove(NativePath(m_path), ec);
  }
  m_path.clear();
}

TempFile::TempFile(TempFile&& other) noexcept : m_path(std::move(other.m_path)), m_fd(other.m_fd) {
  other.m_path.clear();
  other.m_fd = -1;
}

TempFile& TempFile::operator=(TempFile&& other) noexcept {
  if (this != &other) {
    Remove();
    m_path = std::move(other.m_path);
    m_fd = other.m_fd;
    other.m_path.clear();
    other.m_fd = -1;
  }
  return *this;
}

TempFile::~TempFile() { Remove(); }

}  // namespace platform
