#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// Paths are UTF-8 text everywhere in the program. Only at a call into the system are they
// turned into the system's form: on Windows UTF-16 (the narrow Windows interfaces would read
// the bytes in the ANSI code page and miss every non-ASCII name), elsewhere the bytes as they are.

/// `utf8` as a path of the system.
std::filesystem::path NativePath(std::string_view utf8);

/// A path of the system as UTF-8 text.
std::string Utf8Path(const std::filesystem::path& path);

#if defined(_WIN32)
/// UTF-8 text as UTF-16, for the wide Windows interfaces; invalid bytes become U+FFFD.
std::wstring WideText(std::string_view utf8);
/// UTF-16 text as UTF-8.
std::string Utf8Text(std::wstring_view wide);
#endif

}  // namespace platform
