#include "platform/fs/NativePath.h"

#if defined(_WIN32)
#include <windows.h>
#endif

namespace platform {

#if defined(_WIN32)

std::wstring WideText(std::string_view utf8) {
  if (utf8.empty()) {
    return {};
  }
  const int size = static_cast<int>(utf8.size());
  const int length = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, wide.data(), length);
  return wide;
}

std::string Utf8Text(std::wstring_view wide) {
  if (wide.empty()) {
    return {};
  }
  const int size = static_cast<int>(wide.size());
  const int length =
      ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<std::size_t>(length), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, utf8.data(), length, nullptr, nullptr);
  return utf8;
}

std::filesystem::path NativePath(std::string_view utf8) {
  return std::filesystem::path(WideText(utf8));
}

std::string Utf8Path(const std::filesystem::path& path) { return Utf8Text(path.native()); }

#else

std::filesystem::path NativePath(std::string_view utf8) { return std::filesystem::path(utf8); }

std::string Utf8Path(const std::filesystem::path& path) { return path.native(); }

#endif

}  // namespace platform
