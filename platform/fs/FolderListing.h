#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

/// True when `text` holds a wildcard character, '*' or '?'.
bool HasWildcard(std::string_view text);

/// True when `name` matches `pattern` as a whole: '*' stands for any run of characters (also
/// none), '?' for exactly one, every other character for itself. The comparison ignores case
/// on Windows, whose file names do, and respects it elsewhere.
bool MatchesWildcard(std::string_view pattern, std::string_view name);

/// The regular files in `folder`, and with `recursive` in all its subfolders, as paths relative
/// to `folder` with "/" between their parts, sorted by their bytes (so a folder's files come in
/// name order, and a subfolder's files together). Linked folders are not descended into, so a
/// link cycle cannot make the listing endless. Empty when the folder cannot be read.
std::optional<std::vector<std::string>> ListFolderFiles(const std::string& folder, bool recursive);

}  // namespace platform
