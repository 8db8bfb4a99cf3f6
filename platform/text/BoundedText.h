#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace platform {

/// Size of the character buffers the program's paths and profile values pass through: a value
/// holds at most 779 bytes and a terminator.
inline constexpr std::size_t kTextBufferSize = 780;

#if defined(_WIN32)
/// Longest path, in characters, that the path helpers accept (MAX_PATH less the terminator).
inline constexpr std::size_t kMaxPathChars = 259;
#else
/// Longest path the system takes, bytes (PATH_MAX less the terminator). Paths are not bounded by
/// the Windows limit here: a recording kept deep in an archive must stay reachable.
inline constexpr std::size_t kMaxPathBytes = 4095;
/// Longest name of one file or folder the system takes, bytes (NAME_MAX).
inline constexpr std::size_t kMaxNameBytes = 255;
#endif

/// Copies `text` as a bounded copy into a buffer of `bufferSize` bytes would: at most
/// `bufferSize - 1` bytes are kept. A buffer size of 0 keeps nothing.
std::string BoundedCopy(std::string_view text, std::size_t bufferSize = kTextBufferSize);

/// A process path (the program's own, its configuration file's) as the program keeps it: on
/// Windows in a 780-byte buffer (BoundedCopy), elsewhere whole.
std::string BoundedPath(std::string_view path);

/// True when `path` is within the limits a path has: on Windows at most kMaxPathChars
/// characters (counted as bytes of its UTF-8 text); elsewhere at most kMaxPathBytes bytes, no
/// name between its separators longer than kMaxNameBytes.
bool PathFitsLimit(std::string_view path);

/// Those limits in words, for a message: "a path may have at most 259 characters".
std::string PathLimitText();

}  // namespace platform
