#include "platform/fs/AtomicFile.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "platform/fs/FileError.h"
#include "platform/fs/FileSystem.h"
#include "platform/fs/NativePath.h"
#include "platform/fs/TempFileNames.h"
#include "platform/fs/UnnamedFile.h"

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace platform {
namespace {

#if defined(_WIN32)
constexpr const char* kSeparator = "\\";

// Creates `path`, which must not exist, for binary writing.
std::FILE* CreateNewFile(const std::string& path, int& error) {
  int fd = -1;
  error = ::_wsopen_s(&fd, NativePath(path).c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY,
                      _SH_DENYNO, _S_IREAD | _S_IWRITE);
  if (error != 0 || fd < 0) {
    return nullptr;
  }
  std::FILE* file = ::_fdopen(fd, "wb");
  if (file == nullptr) {
    error = errno;
    ::_close(fd);
    ::_wremove(NativePath(path).c_str());
  }
  return file;
}

// Flushes a file's data to the disk; 0 or the error number.
int FlushToDisk(std::FILE* file) { return ::_commit(::_fileno(file)) == 0 ? 0 : errno; }

void RemovePath(const std::string& path) { ::_wremove(NativePath(path).c_str()); }

// Moves `from` to `to`, replacing it when `replace`; 0 or the error number. A target that another
// program holds open without delete sharing (a virus scanner, an indexer) is tried again for
// about a second before the move counts as failed.
int MoveOver(const std::string& from, const std::string& to, bool replace) {
  const DWORD flags = MOVEFILE_WRITE_THROUGH | (replace ? MOVEFILE_REPLACE_EXISTING : 0);
  for (int attempt = 0;; ++attempt) {
    if (::MoveFileExW(NativePath(from).c_str(), NativePath(to).c_str(), flags)) {
      return 0;
    }
    const DWORD error = ::GetLastError();
    if ((error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION) || attempt == 20) {
      return ErrorNumberFromWindows(error);
    }
    ::Sleep(50);
  }
}
#else
constexpr const char* kSeparator = "/";

// Flushes a file's data to the disk; 0 or the error number.
int FlushToDisk(std::FILE* file) { return ::fsync(::fileno(file)) == 0 ? 0 : errno; }

void RemovePath(const std::string& path) { ::unlink(path.c_str()); }

// Renames `from` over `to`; 0 or the error number.
int MoveOver(const std::string& from, const std::string& to, bool /*replace*/) {
  return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

// Renames `from` to `to` unless `to` exists; 0 or the error number (EEXIST when it exists, or
// why the system cannot rename so).
int RenameNoReplace(const std::string& from, const std::string& to) {
#if defined(RENAME_NOREPLACE)
  return ::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0 ? 0
                                                                                          : errno;
#else
  (void)from;
  (void)to;
  return ENOSYS;
#endif
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
#endif

}  // namespace

#if defined(_WIN32)

std::optional<AtomicFile> AtomicFile::Create(const std::string& path, int* errorNumber,
                                             AtomicFileMode /*mode*/) {
  auto fail = [errorNumber](int error) -> std::optional<AtomicFile> {
    if (errorNumber != nullptr) {
      *errorNumber = error;
    }
    return std::nullopt;
  };
  const DWORD attributes = ::GetFileAttributesW(NativePath(path).c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES) {
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      return fail(EISDIR);
    }
    if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
      return fail(EACCES);  // a read-only file stays as it is
    }
  }
  AtomicFile file;
  file.m_target = path;
  file.m_temp = ParentFolder(path) + kSeparator + UniqueTempName(kAtomicTempPrefix);
  int error = 0;
  file.m_file = CreateNewFile(file.m_temp, error);
  if (file.m_file == nullptr) {
    file.m_temp.clear();
    return fail(error);
  }
  return file;
}

bool CreateFileExclusive(const std::string& path, std::string_view bytes, AtomicFileMode /*mode*/) {
  // Written under a private name, then moved into place without replacing: the name appears
  // only with its complete content, and an existing file is never replaced.
  const std::string folder = ParentFolder(path);
  const std::string temp = folder + kSeparator + UniqueTempName(kExclusiveTempPrefix);
  int error = 0;
  std::FILE* file = CreateNewFile(temp, error);
  if (file == nullptr) {
    return false;
  }
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  ok = std::fflush(file) == 0 && ::_commit(::_fileno(file)) == 0 && ok;
  ok = std::fclose(file) == 0 && ok;
  if (!ok || MoveOver(temp, path, false) != 0) {
    RemovePath(temp);
    return false;
  }
  (void)RemoveStaleTempFiles(folder, kExclusiveTempPrefix);
  return true;
}

#else

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
    file.m_temp = folder + kSeparator + UniqueTempName(kAtomicTempPrefix);
    fd = ::open(file.m_temp.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
      const int error = errno;
      file.m_temp.clear();
      return fail(error);
    }
  }
  file.m_file = ::fdopen(fd, "w+b");
  if (file.m_file == nullptr) {
    const int error = errno;
    ::close(fd);
    file.Discard();
    return fail(error);
  }
  return file;
}

bool CreateFileExclusive(const std::string& path, std::string_view bytes, AtomicFileMode mode) {
  // The name appears only with its complete content, and an existing file is never replaced:
  // an unnamed file is filled and then linked in, which fails when the name is taken.
  const std::string folder = ParentFolder(path);
  if (mode == AtomicFileMode::Automatic) {
    const int unnamed = OpenUnnamedFile(folder, 0666);
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
  }
  // Otherwise the same under a private name, linked into place. Where that name cannot be
  // written, neither is the target's: another process could read it half-written.
  const std::string temp = folder + kSeparator + UniqueTempName(kExclusiveTempPrefix);
  if (!WriteNewFile(temp, bytes, 0666)) {
    return false;
  }
  int error = ::link(temp.c_str(), path.c_str()) == 0 ? 0 : errno;
  if (error != 0 && error != EEXIST) {
    // Some file systems have no hard links: a rename that never replaces does the same.
    error = RenameNoReplace(temp, path);
  }
  ::unlink(temp.c_str());  // after a rename, nothing is left under that name
  if (error != 0) {
    return false;
  }
  (void)RemoveStaleTempFiles(folder, kExclusiveTempPrefix);
  return true;
}

#endif

bool AtomicFile::Commit(bool durable) {
  if (m_file == nullptr) {
    return false;
  }
  if (!m_failed && std::fflush(m_file) != 0) {
    Fail(errno);
  }
  if (!m_failed && durable) {
    if (const int error = FlushToDisk(m_file); error != 0) {
      Fail(error);
    }
  }
#if !defined(_WIN32)
  const int fd = ::fileno(m_file);
  if (!m_failed && m_keepMode && ::fchmod(fd, static_cast<mode_t>(m_mode)) != 0) {
    Fail(errno);
  }
  if (!m_failed && m_unnamed) {
    // The unnamed file gets a temporary name only now, for the rename over the target.
    const std::string name =
        ParentFolder(m_target) + kSeparator + UniqueTempName(kAtomicTempPrefix);
    const int error = LinkUnnamedFile(fd, name);
    if (error == 0) {
      m_temp = name;
    } else {
      Fail(error);
    }
  }
#endif
  if (std::fclose(m_file) != 0 && !m_failed) {
    Fail(errno);
  }
  m_file = nullptr;
  if (!m_failed) {
    if (const int error = MoveOver(m_temp, m_target, true); error != 0) {
      Fail(error);
    }
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
    RemovePath(m_temp);
    m_temp.clear();
  }
}

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

int AtomicFile::Descriptor() {
  if (m_file == nullptr) {
    return -1;
  }
  if (std::fflush(m_file) != 0) {
    Fail(errno);
  }
#if defined(_WIN32)
  return ::_fileno(m_file);
#else
  return ::fileno(m_file);
#endif
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

bool ReplaceFileAtomically(const std::string& path, std::string_view bytes, int* errorNumber) {
  int createError = 0;
  auto file = AtomicFile::Create(path, &createError);
  if (!file || !file->Write(bytes.data(), bytes.size()) || !file->Commit()) {
    if (errorNumber != nullptr) {
      *errorNumber = file ? file->ErrorNumber() : createError;
    }
    return false;
  }
  (void)RemoveStaleTempFiles(ParentFolder(path), kAtomicTempPrefix);
  return true;
}

}  // namespace platform
