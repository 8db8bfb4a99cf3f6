#pragma once

// The pieces preset text is read in: text saved as UTF-16 taken as UTF-8, a line's tokens, and
// the numbers among them, whatever the locale. Internal to the room.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace preset_detail {

// `text` with ASCII letters in upper case.
std::string Upper(std::string_view text);

// The blank- or tab-separated tokens of `text`.
std::vector<std::string> Tokens(std::string_view text);

// A whole token as a number (after the commas became points), whatever the locale.
std::optional<double> Number(std::string_view token);

// A frequency token, with Room EQ Wizard's thousands separator read as such.
std::optional<double> Frequency(std::string_view token);

// Text that starts with a UTF-16 byte order mark as UTF-8 without the mark; empty for any
// other text.
std::optional<std::string> Utf16AsUtf8(std::string_view text);

}  // namespace preset_detail
