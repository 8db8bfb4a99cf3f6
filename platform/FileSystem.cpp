#include "platform/FileSystem.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "platform/TempFileNames.h"

#if defined(_WIN32)
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace platform {
namespace {

#if !defined(_WIN32)
int WriteAll(int fd, std::string_view bytes) {
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
  return 0;
}

// Writes `bytes` to `fd` and flushes them to the disk; 0 or the error number.
int WriteAndSync(int fd, std::string_view bytes) {
  const int written = WriteAll(fd, bytes);
  if (written != 0) {
    return written;
  }
  return ::fsync(fd) == 0 ? 0 : errno;
}

// Creates `path` exclusively with `mode` (before the umask) and writes `bytes`, flushed to disk.
bool WriteNewFile(const std::string& path, std::string_view bytes, mode_t mode) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
  if (fd < 0) {
    return false;
  }
  const bool ok = WriteAndSync(fd, bytes) == 0;
  if (::close(fd) != 0 || !ok) {
    ::unlink(path.c_str());
    return false;
  }
  return true;
}

// An unnamed file in `folder` (Linux O_TMPFILE), reachable through /proc/self/fd for linking it
// in under a name later. -1 where the system or the file system has none.
int OpenUnnamedFile(const std::string& folder, mode_t mode) {
#if defined(O_TMPFILE)
  if (::access("/proc/self/fd", X_OK) != 0) {
    errno = EOPNOTSUPP;  // nothing to link the file in by
    return -1;
  }
  return ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, mode);
#else
  (void)folder;
  (void)mode;
  errno = EOPNOTSUPP;
  return -1;
#endif
}

// Gives the unnamed file open as `fd` the name `path`. 0 or the error number (EEXIST when the
// name is taken).
int LinkUnnamedFile(int fd, const std::string& path) {
  const std::string self = "/proc/self/fd/" + std::to_string(fd);
  return ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) == 0
             ? 0
             : errno;
}

// Whether an O_TMPFILE open failed because the system or file system lacks unnamed files, as
// opposed to a reason that a named file would meet as well.
bool UnnamedFilesUnsupported(int errorNumber) {
  return errorNumber == EOPNOTSUPP || errorNumber == EISDIR || errorNumber == EINVAL;
}
#endif

}  // namespace

std::string DescribeFileError(int errorNumber) {
  switch (errorNumber) {
    case 0: return "no error was reported";
    case kErrorNotRegularFile: return "it is not a regular file";
    case ENOENT: return "it does not exist";
    case EISDIR: return "it is a folder";
    case ENOTDIR: return "a part of the path is not a folder";
    case EACCES:
    case EPERM: return "permission denied";
    case ENOSPC: return "no space left on the device";
    case EFBIG: return "the file is too large";
    case EROFS: return "the file system is read-only";
    case EIO: return "an input/output error occurred";
    case ENAMETOOLONG: return "the name is too long";
#if defined(EDQUOT)
    case EDQUOT: return "the disk quota is exhausted";
#endif
    default: {
      std::string text = std::generic_category().message(errorNumber);
      if (!text.empty() && text[0] >= 'A' && text[0] <= 'Z') {
        text[0] = static_cast<char>(text[0] - 'A' + 'a');
      }
      return text;
    }
  }
}

bool PathExists(const std::string& path) {
  std::error_code ec;
  return !path.empty() && fs::exists(fs::path(path), ec);
}

bool DirectoryExists(const std::string& path) {
  std::error_code ec;
  return !path.empty() && fs::is_directory(fs::path(path), ec);
}

bool IsRegularFile(const std::string& path) {
  std::error_code ec;
  return !path.empty() && fs::is_regular_file(fs::path(path), ec);
}

bool CreateDirectoryTree(const std::string& path) {
  if (path.empty()) {
    return false;
  }
  std::error_code ec;
  fs::create_directories(fs::path(path), ec);
  return DirectoryExists(path);
}

bool DeleteFilePath(const std::string& path) {
  std::error_code ec;
  return !path.empty() && fs::remove(fs::path(path), ec);
}

std::optional<std::string> ReadFileBytes(const std::string& path, int* errorNumber) {
  int error = 0;
  std::FILE* file = OpenRegularFile(path, &error);
  std::optional<std::string> bytes;
  if (file != nullptr) {
    std::string text;
    char buffer[65536];
    while (true) {
      const std::size_t got = std::fread(buffer, 1, sizeof buffer, file);
      if (text.size() + got > kMaxReadFileBytes) {
        error = EFBIG;
        break;
      }
      text.append(buffer, got);
      if (got < sizeof buffer) {
        if (std::ferror(file) != 0) {
          error = errno != 0 ? errno : EIO;
        } else {
          bytes = std::move(text);
        }
        break;
      }
    }
    std::fclose(file);
  }
  if (!bytes && errorNumber != nullptr) {
    *errorNumber = error;
  }
  return bytes;
}

std::string ParentFolder(const std::string& path) {
#if defined(_WIN32)
  const auto slash = path.find_last_of("\\/");
#else
  const auto slash = path.find_last_of('/');
#endif
  if (slash == std::string::npos) {
    return ".";
  }
  if (slash == 0) {
    return path.substr(0, 1);
  }
  return path.substr(0, slash);
}

std::string SystemTempFolder() {
  std::error_code ec;
  const fs::path folder = fs::temp_directory_path(ec);
  return ec ? std::string(".") : folder.string();
}

#if defined(_WIN32)

std::FILE* OpenRegularFile(const std::string& path, int* errorNumber) {
  std::error_code ec;
  const fs::file_status status = fs::status(fs::path(path), ec);
  int error = 0;
  std::FILE* file = nullptr;
  if (ec) {
    error = ENOENT;
  } else if (fs::is_directory(status)) {
    error = EISDIR;
  } else if (!fs::is_regular_file(status)) {
    error = kErrorNotRegularFile;
  } else {
    file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
      error = errno;
    }
  }
  if (file == nullptr && errorNumber != nullptr) {
    *errorNumber = error;
  }
  return file;
}

bool CreateFileExclusive(const std::string& path, std::string_view bytes) {
  const HANDLE h = ::CreateFileA(path.c_str(), GENERIC_WRITE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    return false;
  }
  DWORD written = 0;
  const bool ok = ::WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                              nullptr) && written == bytes.size();
  ::CloseHandle(h);
  if (!ok) {
    ::DeleteFileA(path.c_str());
  }
  return ok;
}

std::optional<AtomicFile> AtomicFile::Create(const std::string& path, int* errorNumber,
                                             AtomicFileMode /*mode*/) {
  AtomicFile file;
  file.m_target = path;
  file.m_temp = ParentFolder(path) + "\\" + UniqueTempName(kAtomicTempPrefix);
  file.m_file = std::fopen(file.m_temp.c_str(), "wbx");
  if (file.m_file == nullptr) {
    if (errorNumber != nullptr) {
      *errorNumber = errno;
    }
    return std::nullopt;
  }
  return file;
}

bool AtomicFile::Commit(bool /*durable*/) {
  if (m_file == nullptr) {
    return false;
  }
  if (!m_failed && std::fflush(m_file) != 0) {
    Fail(errno);
  }
  if (std::fclose(m_file) != 0 && !m_failed) {
    Fail(errno);
  }
  m_file = nullptr;
  if (!m_failed && ::MoveFileExA(m_temp.c_str(), m_target.c_str(),
                                 MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    m_temp.clear();
    return true;
  }
  if (!m_failed) {
    Fail(EACCES);
  }
  Discard();
  return false;
}

void AtomicFile::Discard() noexcept {
  if (m_file != nullptr) {
    std::fclose(m_file);
    m_file = nullptr;
  }
  if (!m_temp.empty()) {
    ::DeleteFileA(m_temp.c_str());
    m_temp.clear();
  }
}

std::optional<TempFile> TempFile::Create() {
  const std::string folder = SystemTempFolder();
  (void)RemoveStaleTempFiles(folder, kScratchTempPrefix);
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string path = (fs::path(folder) / UniqueTempName(kScratchTempPrefix)).string();
    if (CreateFileExclusive(path, {})) {
      return TempFile(path, -1);
    }
  }
  return std::nullopt;
}

void TempFile::Remove() noexcept {
  if (!m_path.empty()) {
    std::error_code ec;
    fs::remove(fs::path(m_path), ec);
    m_path.clear();
  }
}

FolderLock::FolderLock(const std::string&) {}
FolderLock::~FolderLock() = default;

#else

std::FILE* OpenRegularFile(const std::string& path, int* errorNumber) {
  // Opened without blocking, so that a FIFO cannot hold the program; then only a regular file
  // is read.
  int error = 0;
  std::FILE* file = nullptr;
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    error = errno;
  } else {
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
      error = errno;
    } else if (S_ISDIR(info.st_mode)) {
      error = EISDIR;
    } else if (!S_ISREG(info.st_mode)) {
      error = kErrorNotRegularFile;
    } else {
      const int flags = ::fcntl(fd, F_GETFL);
      if (flags >= 0) {
        (void)::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
      }
      file = ::fdopen(fd, "rb");
      if (file == nullptr) {
        error = errno;
      }
    }
    if (file == nullptr) {
      ::close(fd);
    }
  }
  if (file == nullptr && errorNumber != nullptr) {
    *errorNumber = error;
  }
  return file;
}

bool CreateFileExclusive(const std::string& path, std::string_view bytes) {
  // The name appears only with its complete content, and an existing file is never replaced:
  // an unnamed file is filled and then linked in, which fails when the name is taken.
  const int unnamed = OpenUnnamedFile(ParentFolder(path), 0666);
  if (unnamed >= 0) {
    int error = WriteAndSync(unnamed, bytes);
    if (error == 0) {
      error = LinkUnnamedFile(unnamed, path);
    }
    ::close(unnamed);
    return error == 0;
  }
  if (!UnnamedFilesUnsupported(errno) && errno != ENOENT) {
    return false;
  }
  // Otherwise the same under a private name, linked into place.
  const std::string folder = ParentFolder(path);
  const std::string temp = folder + "/" + UniqueTempName(kExclusiveTempPrefix);
  if (!WriteNewFile(temp, bytes, 0666)) {
    return WriteNewFile(path, bytes, 0666);
  }
  const int linked = ::link(temp.c_str(), path.c_str());
  const int linkError = errno;
  ::unlink(temp.c_str());
  if (linked == 0) {
    (void)RemoveStaleTempFiles(folder, kExclusiveTempPrefix);
    return true;
  }
  if (linkError == EEXIST) {
    return false;
  }
  // Some file systems have no hard links: fall back to an exclusive create.
  return WriteNewFile(path, bytes, 0666);
}

std::optional<AtomicFile> AtomicFile::Create(const std::string& requested, int* errorNumber,
                                             AtomicFileMode mode) {
  auto fail = [errorNumber](int error) -> std::optional<AtomicFile> {
    if (errorNumber != nullptr) {
      *errorNumber = error;
    }
    return std::nullopt;
  };
  AtomicFile file;
  file.m_target = requested;
  struct stat info {};
  if (::stat(requested.c_str(), &info) == 0) {
    if (S_ISDIR(info.st_mode)) {
      return fail(EISDIR);
    }
    if (!S_ISREG(info.st_mode)) {
      return fail(kErrorNotRegularFile);
    }
    std::error_code ec;
    const fs::path resolved = fs::canonical(requested, ec);
    if (!ec) {
      file.m_target = resolved.string();
    }
    if (::access(file.m_target.c_str(), W_OK) != 0) {
      return fail(errno);  // a read-only file stays as it is
    }
    file.m_keepMode = true;
    file.m_mode = info.st_mode & 07777;
  }
  const std::string folder = ParentFolder(file.m_target);
  int fd = -1;
  if (mode == AtomicFileMode::Automatic) {
    fd = OpenUnnamedFile(folder, 0666);
    if (fd < 0 && !UnnamedFilesUnsupported(errno) && errno != ENOENT) {
      return fail(errno);
    }
    file.m_unnamed = fd >= 0;
  }
  if (fd < 0) {
    file.m_temp = folder + "/" + UniqueTempName(kAtomicTempPrefix);
    fd = ::open(file.m_temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
      const int error = errno;
      file.m_temp.clear();
      return fail(error);
    }
  }
  file.m_file = ::fdopen(fd, "wb");
  if (file.m_file == nullptr) {
    const int error = errno;
    ::close(fd);
    file.Discard();
    return fail(error);
  }
  return file;
}

bool AtomicFile::Commit(bool durable) {
  if (m_file == nullptr) {
    return false;
  }
  const int fd = ::fileno(m_file);
  if (!m_failed && std::fflush(m_file) != 0) {
    Fail(errno);
  }
  if (!m_failed && durable && ::fsync(fd) != 0) {
    Fail(errno);
  }
  if (!m_failed && m_keepMode && ::fchmod(fd, static_cast<mode_t>(m_mode)) != 0) {
    Fail(errno);
  }
  if (!m_failed && m_unnamed) {
    // The unnamed file gets a temporary name only now, for the rename over the target.
    const std::string name = ParentFolder(m_target) + "/" + UniqueTempName(kAtomicTempPrefix);
    const int error = LinkUnnamedFile(fd, name);
    if (error == 0) {
      m_temp = name;
    } else {
      Fail(error);
    }
  }
  if (std::fclose(m_file) != 0 && !m_failed) {
    Fail(errno);
  }
  m_file = nullptr;
  if (!m_failed && ::rename(m_temp.c_str(), m_target.c_str()) != 0) {
    Fail(errno);
  }
  if (m_failed) {
    Discard();
    return false;
  }
  m_temp.clear();
  return true;
}

void AtomicFile::Discard() noexcept {
  if (m_file != nullptr) {
    std::fclose(m_file);
    m_file = nullptr;
  }
  if (!m_temp.empty()) {
    ::unlink(m_temp.c_str());
    m_temp.clear();
  }
}

std::optional<TempFile> TempFile::Create() {
  const std::string folder = SystemTempFolder();
  const int unnamed = OpenUnnamedFile(folder, 0600);
  if (unnamed >= 0) {
    return TempFile("/proc/self/fd/" + std::to_string(unnamed), unnamed);
  }
  (void)RemoveStaleTempFiles(folder, kScratchTempPrefix);
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string path = (fs::path(folder) / UniqueTempName(kScratchTempPrefix)).string();
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd >= 0) {
      ::close(fd);
      return TempFile(path, -1);
    }
    if (errno != EEXIST) {
      break;
    }
  }
  return std::nullopt;
}

void TempFile::Remove() noexcept {
  if (m_fd >= 0) {
    ::close(m_fd);  // an unnamed file goes with its last descriptor
    m_fd = -1;
  } else if (!m_path.empty()) {
    std::error_code ec;
    fs::remove(fs::path(m_path), ec);
  }
  m_path.clear();
}

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

AtomicFile::AtomicFile(AtomicFile&& other) noexcept
    : m_target(std::move(other.m_target)),
      m_temp(std::move(other.m_temp)),
      m_file(other.m_file),
      m_unnamed(other.m_unnamed),
      m_failed(other.m_failed),
      m_error(other.m_error),
      m_keepMode(other.m_keepMode),
      m_mode(other.m_mode) {
  other.m_file = nullptr;
  other.m_temp.clear();
}

AtomicFile::~AtomicFile() { Discard(); }

void AtomicFile::Fail(int errorNumber) noexcept {
  if (!m_failed) {
    m_failed = true;
    m_error = errorNumber != 0 ? errorNumber : EIO;
  }
}

bool AtomicFile::Write(const void* data, std::size_t size) {
  if (m_file == nullptr || m_failed) {
    return false;
  }
  if (size > 0 && std::fwrite(data, 1, size, m_file) != size) {
    Fail(errno);
  }
  return !m_failed;
}

bool ReplaceFileAtomically(const std::string& path, std::string_view bytes) {
  auto file = AtomicFile::Create(path);
  if (!file || !file->Write(bytes.data(), bytes.size()) || !file->Commit()) {
    return false;
  }
  (void)RemoveStaleTempFiles(ParentFolder(path), kAtomicTempPrefix);
  return true;
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
