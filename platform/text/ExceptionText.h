#pragma once

#include <string>

namespace platform {

/// The reason an exception gives, for a message: called inside a catch block, it names the
/// exception being handled ("out of memory" for std::bad_alloc, what() for a standard
/// exception, "an unexpected error" for anything else).
std::string CurrentExceptionReason();

}  // namespace platform
