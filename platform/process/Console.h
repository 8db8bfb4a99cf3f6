#pragma once

#include <functional>
#include <string_view>

namespace platform {

/// Where console text goes. The program passes its console writer down to the parts that
/// report progress; tests pass a function that collects the text.
using LogSink = std::function<void(std::string_view text)>;

/// Writes `text` byte for byte, with nothing appended, to standard output and flushes it, so a
/// controlling program sees each line as soon as it is written. Write errors are ignored.
void WriteStandardOutput(std::string_view text);

/// The same for standard error.
void WriteStandardError(std::string_view text);

/// True when standard error is a terminal (not a file or a pipe).
bool StandardErrorIsTerminal();

}  // namespace platform
