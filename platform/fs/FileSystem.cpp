#include "platform/fs/FileSystem.h"

#include <filesystem>
#include <system_error>

#include "platform/fs/NativePath.h"

#include <sys/stat.h>

#if defined(_WIN32)
#include <windows.h>
#endif

namespace fs = std::filesystem;

namespace platform {
namespace {

// The file a write to `path`, which does not exist, would create: its absolute path with "."
// and ".." resolved, the folders above it resolved through their links, and a symbolic link
// that leads nowhere yet followed to where it leads (a writer follows it there).
fs::path CreationName(fs::path path, std::error_code& ec) {
  path = fs::absolute(path, ec);
  constexpr int kMaxLinks = 40;  // as many as the system follows before it gives up (ELOOP)
  for (int links = 0; !ec && links < kMaxLinks && fs::is_symlink(fs::symlink_status(path, ec));
       ++links) {
    const fs::path target = fs::read_symlink(path, ec);
    path = target.is_absolute() ? target : path.parent_path() / target;
  }
  ec.clear();
  return fs::weakly_canonical(path, ec);
}

#if defined(_WIN32)
// The volume serial number and file index of the existing file `path` (links followed), which
// tell one file from every other; false when the file cannot be opened to read them.
bool ReadFileIndex(const fs::path& path, BY_HANDLE_FILE_INFORMATION& info) {
  const HANDLE handle =
      ::CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    return false;
  }
  const bool read = ::GetFileInformationByHandle(handle, &info) != 0;
  ::CloseHandle(handle);
  return read;
}
#endif

}  // namespace

bool PathExists(const std::string& path) {
  std::error_code ec;
  return !path.empty() && fs::exists(NativePath(path), ec);
}

bool DirectoryExists(const std::string& path) {
  std::error_code ec;
  return !path.empty() && fs::is_directory(NativePath(path), ec);
}

bool IsRegularFile(const std::string& path) {
  std::error_code ec;
  return !path.empty() && fs::is_regular_file(NativePath(path), ec);
}

bool CreateDirectoryTree(const std::string& path) {
  if (path.empty()) {
    return false;
  }
  std::error_code ec;
  fs::create_directories(NativePath(path), ec);
  return DirectoryExists(path);
}

std::optional<FileIdentity> IdentityOf(const std::string& path) {
  if (path.empty()) {
    return std::nullopt;
  }
  const fs::path native = NativePath(path);
#if defined(_WIN32)
  BY_HANDLE_FILE_INFORMATION info{};
  if (!ReadFileIndex(native, info)) {
    return std::nullopt;
  }
  return FileIdentity{info.dwVolumeSerialNumber,
                      (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
#else
  struct stat info {};
  if (::stat(native.c_str(), &info) != 0) {
    return std::nullopt;
  }
  return FileIdentity{static_cast<std::uint64_t>(info.st_dev),
                      static_cast<std::uint64_t>(info.st_ino)};
#endif
}

bool SameFile(const std::string& a, const std::string& b) {
  if (a.empty() || b.empty()) {
    return false;
  }
  const fs::path first = NativePath(a);
  const fs::path second = NativePath(b);
  std::error_code ec;
  const bool firstExists = fs::exists(first, ec);
  const bool secondExists = fs::exists(second, ec);
  if (firstExists || secondExists) {
    if (!firstExists || !secondExists) {
      return false;
    }
    const auto firstIdentity = IdentityOf(a);
    const auto secondIdentity = IdentityOf(b);
    return firstIdentity && secondIdentity && *firstIdentity == *secondIdentity;
  }
  // Neither exists yet: the names they would be created under.
  const fs::path firstName = CreationName(first, ec);
  if (ec) {
    return false;
  }
  const fs::path secondName = CreationName(second, ec);
  if (ec) {
    return false;
  }
#if defined(_WIN32)
  // File names on Windows are compared without case, as its file systems compare them.
  return ::CompareStringOrdinal(firstName.c_str(), -1, secondName.c_str(), -1, TRUE) == CSTR_EQUAL;
#else
  return firstName == secondName;
#endif
}

bool DeleteFilePath(const std::string& path) {
  std::error_code ec;
  return !path.empty() && fs::remove(NativePath(path), ec);
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
  return ec ? std::string(".") : Utf8Path(folder);
}

std::optional<FileAttributes> ReadFileAttributes(const std::string& path) {
#if defined(_WIN32)
  struct _stat64 info {};
  if (::_wstat64(NativePath(path).c_str(), &info) != 0) {
    return std::nullopt;
  }
#else
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) {
    return std::nullopt;
  }
#endif
  return FileAttributes{static_cast<std::uint64_t>(info.st_size),
                        static_cast<std::int64_t>(info.st_mtime)};
}

}  // namespace platform
