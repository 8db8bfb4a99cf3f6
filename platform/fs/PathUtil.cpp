#include "platform/fs/PathUtil.h"

#include <algorithm>

namespace platform {
namespace {

#if defined(_WIN32)
constexpr char kSeparator = '\\';
constexpr std::string_view kSeparators = "\\/";
#else
constexpr char kSeparator = '/';
constexpr std::string_view kSeparators = "/";
#endif

bool IsSeparator(char c) { return kSeparators.find(c) != std::string_view::npos; }

std::size_t DriveLength(std::string_view path) {
#if defined(_WIN32)
  if (path.size() >= 2 && path[1] == ':') {
    return 2;
  }
#else
  (void)path;
#endif
  return 0;
}

// Position just after the last separator (0 when there is none).
std::size_t NameStart(std::string_view path) {
  const auto slash = path.find_last_of(kSeparators);
  return slash == std::string_view::npos ? DriveLength(path) : slash + 1;
}

}  // namespace

int SplitPath(std::string_view path, std::string& directory, std::string& name,
              std::string& extension) {
  const std::size_t driveLength = DriveLength(path);
  const std::size_t nameStart = std::max(NameStart(path), driveLength);
  const std::string_view file = path.substr(nameStart);
  const auto dot = file.rfind('.');
  const std::string_view base = dot == std::string_view::npos ? file : file.substr(0, dot);
  const std::string_view ext =
      dot == std::string_view::npos ? std::string_view() : file.substr(dot);
#if defined(_WIN32)
  const std::string_view drive = path.substr(0, driveLength);
  const std::string_view folder = path.substr(driveLength, nameStart - driveLength);
  if (drive.size() > kMaxDriveChars || folder.size() > kMaxFolderChars ||
      base.size() > kMaxNameChars || ext.size() > kMaxExtensionChars) {
    return 0;
  }
#endif
  directory.assign(path.substr(0, nameStart));
  name.assign(base);
  extension.assign(ext);
  return 1;
}

std::string JoinPath(std::initializer_list<std::string_view> pieces) {
  std::string result;
  bool first = true;
  for (std::string_view piece : pieces) {
    if (first) {
      result.assign(piece);
      first = false;
      continue;
    }
    if (piece.empty()) {
      break;
    }
    if (result.empty()) {
      result.assign(piece);
      continue;
    }
    std::size_t skip = 0;
    while (skip < piece.size() && IsSeparator(piece[skip])) {
      ++skip;
    }
    if (!IsSeparator(result.back())) {
      result += kSeparator;
    }
    result.append(piece.substr(skip));
  }
#if defined(_WIN32)
  return result.size() > kMaxJoinedChars ? std::string() : result;
#else
  return result;
#endif
}

std::string FileNamePart(std::string_view path) {
  return std::string(path.substr(NameStart(path)));
}

std::string ReplaceExtension(std::string_view path, std::string_view extension) {
  const std::size_t nameStart = NameStart(path);
  const auto dot = path.substr(nameStart).rfind('.');
  std::string result(dot == std::string_view::npos ? path : path.substr(0, nameStart + dot));
  result.append(extension);
  return result;
}

}  // namespace platform
