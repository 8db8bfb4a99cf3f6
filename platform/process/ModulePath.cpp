#include "platform/process/ModulePath.h"

#include "platform/fs/NativePath.h"

#include <filesystem>
#include <system_error>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#elif defined(__APPLE__)
#include <mach-o/dyld.h>
#endif

namespace platform {

std::string GetModulePath() {
#if defined(_WIN32)
  std::vector<wchar_t> buffer(32768);
  const DWORD length =
      ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
  return Utf8Text(std::wstring_view(buffer.data(), length));
#elif defined(__APPLE__)
  std::uint32_t size = 0;
  _NSGetExecutablePath(nullptr, &size);
  std::vector<char> buffer(size + 1);
  if (_NSGetExecutablePath(buffer.data(), &size) != 0) {
    return {};
  }
  std::error_code ec;
  const auto resolved = std::filesystem::canonical(buffer.data(), ec);
  return ec ? std::string(buffer.data()) : resolved.string();
#else
  std::error_code ec;
  const auto resolved = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::string() : resolved.string();
#endif
}

}  // namespace platform
