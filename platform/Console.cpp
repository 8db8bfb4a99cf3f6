#include "platform/Console.h"

#include <cstdio>

namespace platform {
namespace {

void WriteTo(std::FILE* stream, std::string_view text) {
  if (!text.empty()) {
    (void)std::fwrite(text.data(), 1, text.size(), stream);
  }
  (void)std::fflush(stream);
}

}  // namespace

void WriteStandardOutput(std::string_view text) { WriteTo(stdout, text); }

void WriteStandardError(std::string_view text) { WriteTo(stderr, text); }

}  // namespace platform
