#include "platform/BoundedText.h"

namespace platform {

std::string BoundedCopy(std::string_view text, std::size_t bufferSize) {
  if (bufferSize == 0) {
    return {};
  }
  return std::string(text.substr(0, bufferSize - 1));
}

}  // namespace platform
