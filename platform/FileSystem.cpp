#include "platform/FileSystem.h"

#include <filesystem>
#include <system_error>

#include "platform/NativePath.h"

#include <sys/stat.h>

namespace fs = std::filesystem;

namespace platform {

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
