#pragma once

#include <string>

namespace platform {

/// The error number the file functions give for a path that exists but is neither a regular
/// file nor a folder (a device, a FIFO, a socket).
inline constexpr int kErrorNotRegularFile = -1;

/// Why a file operation failed, as a short English phrase whatever the user's locale ("no space
/// left on the device", "permission denied"), from a C library error number or
/// kErrorNotRegularFile.
std::string DescribeFileError(int errorNumber);

#if defined(_WIN32)
/// The C library error number closest to a Windows error code (GetLastError), so that one
/// description serves both.
int ErrorNumberFromWindows(unsigned long windowsError);
#endif

}  // namespace platform
