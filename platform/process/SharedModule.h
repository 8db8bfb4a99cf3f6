#pragma once

#include <string>

namespace platform {

/// Loads the shared module at `path` (a .so, .dylib or .dll) for the rest of the process's life
/// and returns the address of its exported function `name`. Null when either cannot be found,
/// with the path and the system's reason in `error`.
void* LoadModuleFunction(const std::string& path, const char* name, std::string& error);

}  // namespace platform
