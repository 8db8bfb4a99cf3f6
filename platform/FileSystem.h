#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

/// True when a file or folder exists at `path`.
bool PathExists(const std::string& path);

/// True when `path` names an existing folder.
bool DirectoryExists(const std::string& path);

/// Creates `path` and every missing folder above it. True when the folder exists afterwards.
bool CreateDirectoryTree(const std::string& path);

/// Deletes the file at `path`. True when it was deleted.
bool DeleteFilePath(const std::string& path);

/// The whole content of a file, or empty when it cannot be read.
std::optional<std::string> ReadFileBytes(const std::string& path);

/// Creates a file that must not exist yet and writes `bytes` into it. Another process sees
/// either no file or the complete one. False when the file already existed or could not be
/// written (nothing is left behind then).
bool CreateFileExclusive(const std::string& path, std::string_view bytes);

/// Replaces (or creates) the file at `path` with `bytes` atomically: the data goes to a
/// temporary file in the same folder that is flushed and then renamed over the target, so a
/// reader never sees a half-written file and a failed write leaves the target as it was. An
/// existing file keeps its permissions; a symbolic link is followed.
bool ReplaceFileAtomically(const std::string& path, std::string_view bytes);

/// The folder of `path` (everything before its last separator), or "." when it has none.
std::string ParentFolder(const std::string& path);

/// The system's temporary folder.
std::string SystemTempFolder();

/// A uniquely named empty file in the system temporary folder, readable and writable by its
/// owner only, removed when the object goes away.
class TempFile {
 public:
  /// Creates the file with a name starting with `prefix`. Empty when it cannot be made.
  static std::optional<TempFile> Create(std::string_view prefix);

  TempFile(TempFile&& other) noexcept;
  TempFile& operator=(TempFile&& other) noexcept;
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;
  ~TempFile();

  const std::string& Path() const { return m_path; }

 private:
  explicit TempFile(std::string path) : m_path(std::move(path)) {}
  void Remove() noexcept;

  std::string m_path;
};

/// Holds an exclusive advisory lock on a folder for as long as it lives, so that processes
/// updating files in that folder take turns. Locking is best effort: where the folder cannot
/// be locked the object holds nothing.
class FolderLock {
 public:
  explicit FolderLock(const std::string& folder);
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;
  ~FolderLock();

 private:
  int m_fd = -1;
};

}  // namespace platform
