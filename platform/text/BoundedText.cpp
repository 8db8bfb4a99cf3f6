#include "platform/text/BoundedText.h"

#include "platform/text/FormatText.h"

namespace platform {

std::string BoundedCopy(std::string_view text, std::size_t bufferSize) {
  if (bufferSize == 0) {
    return {};
  }
  return std::string(text.substr(0, bufferSize - 1));
}

std::string BoundedPath(std::string_view path) {
#if defined(_WIN32)
  return BoundedCopy(path);
#else
  return std::string(path);
#endif
}

bool PathFitsLimit(std::string_view path) {
#if defined(_WIN32)
  return path.size() <= kMaxPathChars;
#else
  if (path.size() > kMaxPathBytes) {
    return false;
  }
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t end = path.find('/', start);
    if (end == std::string_view::npos) {
      end = path.size();
    }
    if (end - start > kMaxNameBytes) {
      return false;
    }
    start = end + 1;
  }
  return true;
#endif
}

std::string PathLimitText() {
#if defined(_WIN32)
  return FormatText("a path may have at most %d characters", static_cast<int>(kMaxPathChars));
#else
  return FormatText("a path may have at most %d bytes, and a name in it at most %d",
                    static_cast<int>(kMaxPathBytes), static_cast<int>(kMaxNameBytes));
#endif
}

}  // namespace platform
