#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// Number parsing and formatting that never depends on the user's locale: settings files must
// read and write the same bytes whatever locale the process runs in (a German locale would
// otherwise write "10,000000").

/// Decimal text-to-integer rule: leading blanks skipped, optional sign, decimal digits up to the
/// first other character. No digits gives 0. Values beyond the 32-bit range saturate.
std::int32_t ParseDecimalInt(std::string_view text);

/// Unsigned decimal rule: leading blanks, optional sign, decimal digits, giving a 32-bit
/// unsigned value; a minus sign negates modulo 2^32. Empty when there is no digit or the
/// magnitude does not fit 32 bits.
std::optional<std::uint32_t> ParseUnsigned32(std::string_view text);

/// Single-precision rule: a decimal floating-point number (sign, digits, point, exponent) after
/// leading blanks, rounded to float. Empty when there is no number or it overflows float.
std::optional<float> ParseSingle(std::string_view text);

/// Double-precision rule: the same syntax rounded to double; text without a number gives 0.0.
double ParseDouble(std::string_view text);

/// The double-precision rule for a caller that must tell "0" from text without a number: empty
/// when no number starts the text (after leading blanks). "inf" and "nan" are numbers here.
std::optional<double> ParseNumber(std::string_view text);

/// Formats like printf "%f": fixed notation with six decimals (10.0 gives "10.000000").
std::string FormatFixed6(double value);

/// Formats like printf "%.Nf" with N = `decimals` (0 to 20).
std::string FormatFixed(double value, int decimals);

/// The shortest text that reads back as `value` ("80", "0.707", "1e+20", "nan"), for messages.
std::string FormatShortest(double value);

}  // namespace platform
