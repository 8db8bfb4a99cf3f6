#pragma once

#include <string>

namespace platform {

/// The full path of the running executable, or an empty text when the system cannot tell.
std::string GetModulePath();

}  // namespace platform
