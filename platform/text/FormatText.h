#pragma once

#include <string>

namespace platform {

#if defined(__GNUC__)
#define TONVALE_PRINTF_FORMAT(fmtIndex, argIndex) \
  __attribute__((format(printf, fmtIndex, argIndex)))
#else
#define TONVALE_PRINTF_FORMAT(fmtIndex, argIndex)
#endif

/// printf-style formatting into a std::string of any length. Message and key formats of the
/// program stay printf formats ("Band%.2d_Type", "%sFile not exist(%s).%s"); only %d, %s and
/// their width/precision forms are used with it, which no locale changes.
std::string FormatText(const char* format, ...) TONVALE_PRINTF_FORMAT(1, 2);

}  // namespace platform
