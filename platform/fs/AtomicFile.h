#pragma once

#include <cstddef>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

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

  /// The file's descriptor, for a library that writes (and seeks) on its own; what Write has
  /// buffered is flushed first. -1 when the file is not open.
  int Descriptor();

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

/// Replaces (or creates) the file at `path` with `bytes` atomically: the data goes to a
/// temporary file in the same folder that is flushed and then renamed over the target, so a
/// reader never sees a half-written file and a failed write leaves the target as it was. An
/// existing file keeps its permissions; a symbolic link is followed; a read-only target is
/// refused. A completed write also removes what killed writers left in that folder
/// (RemoveStaleTempFiles). Every writer of a whole file (settings, batch report, preset, graph)
/// goes through here. On failure the system error number is in `*errorNumber` when given
/// (DescribeFileError words it).
[[nodiscard]] bool ReplaceFileAtomically(const std::string& path, std::string_view bytes,
                                         int* errorNumber = nullptr);

/// Creates a file that must not exist yet and writes `bytes` into it. Another process sees
/// either no file or the complete one. False when the file already existed or could not be
/// written (nothing is left behind then). `mode` as for AtomicFile: Named always fills a named
/// temporary file first.
bool CreateFileExclusive(const std::string& path, std::string_view bytes,
                         AtomicFileMode mode = AtomicFileMode::Automatic);

}  // namespace platform
