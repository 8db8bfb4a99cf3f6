#pragma once

#include <optional>
#include <string>

namespace platform {

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

}  // namespace platform
