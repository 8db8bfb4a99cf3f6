#pragma once

#include <cstddef>
#include <cstdint>
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

/// Largest file ReadFileBytes reads, bytes. Settings and configuration files are small text
/// files; anything larger is not one of them, and reading it whole would cost memory for nothing.
inline constexpr std::uint64_t kMaxReadFileBytes = 64ULL << 20;

/// The error number OpenRegularFile and ReadFileBytes give for a path that exists but is
/// neither a regular file nor a folder (a device, a FIFO, a socket).
inline constexpr int kErrorNotRegularFile = -1;

/// Why a file operation failed, as a short English phrase whatever the user's locale ("no space
/// left on the device", "permission denied"), from a system error number or
/// kErrorNotRegularFile.
std::string DescribeFileError(int errorNumber);

/// True when `path` names a regular file (symbolic links followed).
bool IsRegularFile(const std::string& path);

/// Opens a regular file for binary reading. Anything else is never opened for reading, so that
/// a FIFO cannot block the program and a device cannot feed it without end: null then, and for
/// a file that cannot be opened, with the reason in `*errorNumber` when given (EISDIR for a
/// folder, kErrorNotRegularFile for a device or FIFO, the system's number otherwise).
std::FILE* OpenRegularFile(const std::string& path, int* errorNumber = nullptr);

/// The whole content of a regular file of at most kMaxReadFileBytes, or empty when it cannot be
/// read, with the reason in `*errorNumber` when given (EFBIG for a larger file; otherwise as
/// OpenRegularFile and the read report it).
std::optional<std::string> ReadFileBytes(const std::string& path, int* errorNumber = nullptr);

/// Creates a file that must not exist yet and writes `bytes` into it. Another process sees
/// either no file or the complete one. False when the file already existed or could not be
/// written (nothing is left behind then).
bool CreateFileExclusive(const std::string& path, std::string_view bytes);

/// Replaces (or creates) the file at `path` with `bytes` atomically: the data goes to a
/// temporary file in the same folder that is flushed and then renamed over the target, so a
/// reader never sees a half-written file and a failed write leaves the target as it was. An
/// existing file keeps its permissions; a symbolic link is followed. A completed write also
/// removes what killed writers left in that folder (RemoveStaleTempFiles).
bool ReplaceFileAtomically(const std::string& path, std::string_view bytes);

/// How an AtomicFile holds its data until Commit.
enum class AtomicFileMode {
  /// An unnamed file in the target's folder where the system has them (Linux O_TMPFILE), given
  /// a name only for the final rename, so that a killed process leaves nothing behind; a named
  /// temporary file elsewhere.
  Automatic,
  /// Always a named temporary file (prefix kAtomicTempPrefix) in the target's folder.
  Named,
};

/// A file written under a temporary name in the target's folder and renamed over the target
/// only by Commit, so the target never holds a partial file. Without a successful Commit the
/// temporary file is removed and the target stays as it was. An existing target is never
/// deleted or changed before the rename.
class AtomicFile {
 public:
  /// Starts writing `path`. Empty when the temporary file cannot be made (for example the folder
  /// does not exist) or an existing target is read-only or not a regular file; the reason is
  /// then in `*errorNumber` when given. A symbolic link is followed; an existing target's
  /// permissions are kept.
  static std::optional<AtomicFile> Create(const std::string& path, int* errorNumber = nullptr,
                                          AtomicFileMode mode = AtomicFileMode::Automatic);

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

  /// The system error number of the first failure of Write or Commit; 0 when none.
  int ErrorNumber() const { return m_error; }

 private:
  AtomicFile() = default;
  void Fail(int errorNumber) noexcept;
  void Discard() noexcept;

  std::string m_target;
  std::string m_temp;  // the temporary file's name; empty while an unnamed file has none
  std::FILE* m_file = nullptr;
  bool m_unnamed = false;
  bool m_failed = false;
  int m_error = 0;
  bool m_keepMode = false;
  unsigned m_mode = 0;
};

/// The folder of `path` (everything before its last separator), or "." when it has none.
std::string ParentFolder(const std::string& path);

/// The system's temporary folder.
std::string SystemTempFolder();

/// A private empty file in the system temporary folder, readable and writable by its owner
/// only, removed when the object goes away. Where the system has unnamed files (Linux
/// O_TMPFILE) the file has no name in the folder at all and its Path() reaches it through this
/// process's open descriptor, so that a killed process leaves nothing behind; elsewhere it is
/// named with kScratchTempPrefix, and making one removes what killed processes left.
class TempFile {
 public:
  /// Creates the file. Empty when it cannot be made.
  static std::optional<TempFile> Create();

  TempFile(TempFile&& other) noexcept;
  TempFile& operator=(TempFile&& other) noexcept;
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;
  ~TempFile();

  /// A path this process can open the file by, for reading and writing.
  const std::string& Path() const { return m_path; }

 private:
  TempFile(std::string path, int fd) : m_path(std::move(path)), m_fd(fd) {}
  void Remove() noexcept;

  std::string m_path;
  int m_fd = -1;  // the unnamed file's descriptor; -1 for a named file
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
