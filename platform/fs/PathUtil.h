#pragma once

#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>

#include "platform/text/BoundedText.h"

namespace platform {

#if defined(_WIN32)
/// Longest parts SplitPath accepts on Windows, in characters: drive 9, folder and name each as
/// long as a whole path may be (kMaxPathChars), extension 9 (the buffers of the Windows path
/// functions).
inline constexpr std::size_t kMaxDriveChars = 9;
inline constexpr std::size_t kMaxFolderChars = kMaxPathChars;
inline constexpr std::size_t kMaxNameChars = kMaxPathChars;
inline constexpr std::size_t kMaxExtensionChars = 9;

/// Longest result of JoinPath on Windows: it works in a buffer of 520 characters.
inline constexpr std::size_t kMaxJoinedChars = 519;
#endif

/// Splits `path` into its directory (drive and folder, ending with the separator), file name
/// without extension, and extension with its dot. Returns 1 on success; on Windows 0 when a part
/// is longer than its limit, leaving the three outputs unchanged (elsewhere no part has a limit
/// of its own). On POSIX the drive is always empty and "/" separates folders; on Windows "X:" is
/// a drive and both "\" and "/" separate.
int SplitPath(std::string_view path, std::string& directory, std::string& name,
              std::string& extension);

/// Joins pieces with one separator between them, none doubled. An empty piece ends the list.
/// On Windows returns an empty text when the result would not fit 519 characters.
std::string JoinPath(std::initializer_list<std::string_view> pieces);

/// The file-name part of `path` (everything after its last separator).
std::string FileNamePart(std::string_view path);

/// `path` with the extension of its file name replaced by `extension` (appended when the name
/// has none).
std::string ReplaceExtension(std::string_view path, std::string_view extension);

}  // namespace platform
