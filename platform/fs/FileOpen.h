#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

namespace platform {

/// Largest file ReadFileBytes reads, bytes. Settings and configuration files are small text
/// files; anything larger is not one of them, and reading it whole would cost memory for nothing.
inline constexpr std::uint64_t kMaxReadFileBytes = 64ULL << 20;

/// Opens a regular file for binary reading. Anything else is never opened for reading, so that
/// a FIFO cannot block the program and a device cannot feed it without end: null then, and for
/// a file that cannot be opened, with the reason in `*errorNumber` when given (EISDIR for a
/// folder, kErrorNotRegularFile for a device or FIFO, the system's number otherwise). `*size`,
/// when given, receives the file's size.
std::FILE* OpenRegularFile(const std::string& path, int* errorNumber = nullptr,
                           std::uint64_t* size = nullptr);

/// Creates or truncates the file at `path` for binary writing; null when it cannot, with the
/// reason in `*errorNumber` when given.
std::FILE* OpenFileForWriting(const std::string& path, int* errorNumber = nullptr);

/// The whole content of a regular file of at most kMaxReadFileBytes, or empty when it cannot be
/// read, with the reason in `*errorNumber` when given (EFBIG for a larger file; otherwise as
/// OpenRegularFile and the read report it).
std::optional<std::string> ReadFileBytes(const std::string& path, int* errorNumber = nullptr);

}  // namespace platform
