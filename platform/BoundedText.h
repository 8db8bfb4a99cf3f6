#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace platform {

/// Size of the character buffers the program's paths and profile values pass through: a value
/// holds at most 779 bytes and a terminator.
inline constexpr std::size_t kTextBufferSize = 780;

/// Longest path, in characters, that the path helpers accept (MAX_PATH less the terminator).
inline constexpr std::size_t kMaxPathChars = 259;

/// Copies `text` as a bounded copy into a buffer of `bufferSize` bytes would: at most
/// `bufferSize - 1` bytes are kept. A buffer size of 0 keeps nothing.
std::string BoundedCopy(std::string_view text, std::size_t bufferSize = kTextBufferSize);

}  // namespace platform
