#pragma once

// Unnamed files (Linux O_TMPFILE): a file in a folder that has no name until it is linked in,
// so that a process killed while writing it leaves nothing behind. Used by the atomic file, the
// exclusive create and the scratch file; elsewhere the functions report that there are none.
#include <string>
#include <string_view>

namespace platform {

/// An unnamed file in `folder`, opened for reading and writing with `mode` (before the umask);
/// -1 with errno set where the system or the file system has none (EOPNOTSUPP) or the folder
/// cannot take one.
int OpenUnnamedFile(const std::string& folder, unsigned mode);

/// Gives the unnamed file open as `fd` the name `path`. 0 or the error number (EEXIST when the
/// name is taken).
int LinkUnnamedFile(int fd, const std::string& path);

/// Whether an OpenUnnamedFile failure means that unnamed files are not to be had here, as
/// opposed to a reason that a named file would meet as well.
bool UnnamedFilesUnsupported(int errorNumber);

/// Writes all of `bytes` to `fd` and flushes them to the disk; 0 or the error number.
int WriteAndSync(int fd, std::string_view bytes);

}  // namespace platform
