#pragma once

#include <cstddef>
#include <cstdio>
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

/// A file written under a temporary name in the target's folder and renamed over the target
/// only by Commit, so the target never holds a partial file. Without a successful Commit the
/// temporary file is removed and the target stays as it was.
class AtomicFile {
 public:
  /// Starts writing `path`. Empty when the temporary file cannot be made (for example the folder
  /// does not exist) or an existing target is read-only. A symbolic link is followed; an
  /// existing target's permissions are kept.
  static std::optional<AtomicFile> Create(const std::string& path);

  AtomicFile(AtomicFile&& other) noexcept;
  AtomicFile& operator=(AtomicFile&&) = delete;
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;
  ~AtomicFile();

  /// Appends bytes. False when the write failed; later writes and Commit then fail too.
  bool Write(const void* data, std::size_t size);

  /// Renames the file over the target. With `durable` the data is flushed to the disk first,
  /// so that it survives a power loss too; without, the rename still guarantees that the target
  /// holds either its old content or the complete new one if the program is interrupted.
  /// True when the file is in place.
  bool Commit(bool durable = true);

 private:
  AtomicFile() = default;
  void Discard() noexcept;

  std::string m_target;
  std::string m_temp;
  std::FILE* m_file = nullptr;
  bool m_failed = false;
  bool m_keepMode = false;
  unsigned m_mode = 0;
};

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
