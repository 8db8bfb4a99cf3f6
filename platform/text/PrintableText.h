#pragma once

#include <string>
#include <string_view>

namespace platform {

/// `text` (a path or a name) as a console line shows it: each control character is written as
/// an escape, so that a file name can neither end a line, start one without its prefix, nor
/// steer the terminal. Tab, line feed and carriage return become \t, \n and \r; the other bytes
/// below 0x20 and DEL become \xHH (two lower-case hex digits); the C1 controls U+0080 to U+009F
/// become \u0080 to \u009f. Everything else is kept byte for byte: backslashes (a Windows path
/// prints as it always has), UTF-8 characters, and bytes that are not UTF-8.
std::string PrintableText(std::string_view text);

}  // namespace platform
