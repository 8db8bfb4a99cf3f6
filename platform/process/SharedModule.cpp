#include "platform/process/SharedModule.h"

#include <string>

#if defined(_WIN32)
#include <windows.h>

#include "platform/fs/NativePath.h"
#else
#include <dlfcn.h>
#endif

namespace platform {

void* LoadModuleFunction(const std::string& path, const char* name, std::string& error) {
#if defined(_WIN32)
  HMODULE module = LoadLibraryW(WideText(path).c_str());
  if (module == nullptr) {
    error = path + ": Windows error " + std::to_string(GetLastError());
    return nullptr;
  }
  FARPROC function = GetProcAddress(module, name);
  if (function == nullptr) {
    error =
        path + ": no function " + name + " (Windows error " + std::to_string(GetLastError()) + ")";
    return nullptr;
  }
  return reinterpret_cast<void*>(function);
#else
  // Never closed: the module's objects (a toolkit's among them) live until the process ends.
  void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (module == nullptr) {
    const char* reason = dlerror();
    error = reason != nullptr ? reason : path + ": unknown reason";
    return nullptr;
  }
  void* function = dlsym(module, name);
  if (function == nullptr) {
    const char* reason = dlerror();
    error = reason != nullptr ? reason : path + ": no function " + name;
  }
  return function;
#endif
}

}  // namespace platform
