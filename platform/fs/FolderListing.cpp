#include "platform/fs/FolderListing.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

#include "platform/fs/NativePath.h"

namespace fs = std::filesystem;

namespace platform {

namespace {

bool SameCharacter(char a, char b) {
#if defined(_WIN32)
  return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
#else
  return a == b;
#endif
}

// Calls `note` for every entry `Iterator` finds below `root`; false when the folder cannot be
// read to its end.
template <typename Iterator, typename Note>
bool Walk(const fs::path& root, Note note) {
  std::error_code ec;
  Iterator it(root, fs::directory_options::skip_permission_denied, ec);
  if (ec) {
    return false;
  }
  for (const Iterator end; it != end; it.increment(ec)) {
    if (ec) {
      return false;
    }
    note(*it);
  }
  return !ec;
}

}  // namespace

bool HasWildcard(std::string_view text) { return text.find_first_of("*?") != std::string::npos; }

bool MatchesWildcard(std::string_view pattern, std::string_view name) {
  // Greedy matching with one backtrack point, the last '*': linear in practice and never
  // exponential, whatever the pattern.
  std::size_t p = 0;
  std::size_t n = 0;
  std::size_t star = std::string_view::npos;
  std::size_t resume = 0;
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      star = p++;
      resume = n;
    } else if (p < pattern.size() && (pattern[p] == '?' || SameCharacter(pattern[p], name[n]))) {
      ++p;
      ++n;
    } else if (star != std::string_view::npos) {
      p = star + 1;
      n = ++resume;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') {
    ++p;
  }
  return p == pattern.size();
}

std::optional<std::vector<std::string>> ListFolderFiles(const std::string& folder, bool recursive) {
  const fs::path root = NativePath(folder);
  std::error_code ec;
  if (!fs::is_directory(root, ec)) {
    return std::nullopt;
  }
  std::vector<std::string> files;
  auto note = [&files, &root](const fs::directory_entry& entry) {
    std::error_code statError;
    if (entry.is_regular_file(statError)) {
      std::string relative = Utf8Path(entry.path().lexically_relative(root));
#if defined(_WIN32)
      std::replace(relative.begin(), relative.end(), '\\', '/');
#endif
      files.push_back(std::move(relative));
    }
  };
  const bool read = recursive ? Walk<fs::recursive_directory_iterator>(root, note)
                              : Walk<fs::directory_iterator>(root, note);
  if (!read) {
    return std::nullopt;
  }
  std::sort(files.begin(), files.end());
  return files;
}

}  // namespace platform
