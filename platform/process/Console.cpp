#include "platform/process/Console.h"

#include <cstdio>

#if !defined(_WIN32)
#include <unistd.h>
#endif

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#endif

namespace platform {
namespace {

// On Windows the console shows the program's UTF-8 text as such, and the streams pass every
// byte through: in text mode the C library would turn each "\r\n" of a message into "\r\r\n".
void PrepareStreams() {
#if defined(_WIN32)
  static const bool prepared = [] {
    ::SetConsoleOutputCP(CP_UTF8);
    ::_setmode(::_fileno(stdout), _O_BINARY);
    ::_setmode(::_fileno(stderr), _O_BINARY);
    return true;
  }();
  (void)prepared;
#endif
}

void WriteTo(std::FILE* stream, std::string_view text) {
  PrepareStreams();
  if (!text.empty()) {
    (void)std::fwrite(text.data(), 1, text.size(), stream);
  }
  (void)std::fflush(stream);
}

}  // namespace

void WriteStandardOutput(std::string_view text) { WriteTo(stdout, text); }

void WriteStandardError(std::string_view text) { WriteTo(stderr, text); }

bool StandardErrorIsTerminal() {
#if defined(_WIN32)
  return ::_isatty(::_fileno(stderr)) != 0;
#else
  return ::isatty(STDERR_FILENO) == 1;
#endif
}

}  // namespace platform
