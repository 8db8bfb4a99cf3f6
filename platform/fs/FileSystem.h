#pragma once

// The file services of the platform layer: path queries here, and the headers of the file
// objects, so that one include brings them all.
#include <cstdint>
#include <optional>
#include <string>

#include "platform/fs/AtomicFile.h"
#include "platform/fs/FileError.h"
#include "platform/fs/FileOpen.h"
#include "platform/fs/FolderLock.h"
#include "platform/fs/TempFile.h"

namespace platform {

/// True when a file or folder exists at `path`.
bool PathExists(const std::string& path);

/// True when `path` names an existing folder.
bool DirectoryExists(const std::string& path);

/// True when `path` names a regular file (symbolic links followed).
bool IsRegularFile(const std::string& path);

/// Creates `path` and every missing folder above it. True when the folder exists afterwards.
bool CreateDirectoryTree(const std::string& path);

/// True when `a` and `b` name one file, however they are spelt. Two existing paths are compared
/// by identity (device and inode; on Windows volume and file index), so that symbolic links are
/// followed and hard links found. Two paths of which neither exists are compared as absolute
/// paths with "." and ".." resolved and the folders that exist resolved through their links (on
/// Windows without regard to case). An existing path and a missing one are never the same file.
bool SameFile(const std::string& a, const std::string& b);

/// What tells one existing file from every other: device and inode (on Windows volume serial
/// number and file index), symbolic links followed.
struct FileIdentity {
  std::uint64_t device = 0;
  std::uint64_t index = 0;
  friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
  friend bool operator<(const FileIdentity& a, const FileIdentity& b) {
    return a.device != b.device ? a.device < b.device : a.index < b.index;
  }
};

/// The identity of the existing file `path`; empty when it does not exist or cannot be read.
std::optional<FileIdentity> IdentityOf(const std::string& path);

/// Deletes the file at `path`. True when it was deleted.
bool DeleteFilePath(const std::string& path);

/// The folder of `path` (everything before its last separator), or "." when it has none.
std::string ParentFolder(const std::string& path);

/// The system's temporary folder.
std::string SystemTempFolder();

/// Size and last-write time of a file.
struct FileAttributes {
  std::uint64_t size = 0;     ///< bytes
  std::int64_t modified = 0;  ///< seconds since 1970-01-01 UTC
};

/// The size and last-write time of the file at `path`; empty when they cannot be read.
std::optional<FileAttributes> ReadFileAttributes(const std::string& path);

}  // namespace platform
