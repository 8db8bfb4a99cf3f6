#include "platform/text/NumberText.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>

#if defined(_WIN32)
#include <locale.h>
#elif defined(__APPLE__)
#include <xlocale.h>
#else
#include <locale.h>
#endif

namespace platform {
namespace {

bool IsBlank(char c) {
  // isspace() of the C locale, without consulting the current locale.
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

std::string_view SkipBlanks(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) {
    ++i;
  }
  return text.substr(i);
}

// Reads an optional sign and a run of decimal digits. Returns false when there is no digit.
// The magnitude is accumulated up to `limit`; anything larger sets `overflow`.
bool ReadDigits(std::string_view text, bool& negative, std::uint64_t& magnitude, bool& overflow,
                std::uint64_t limit) {
  text = SkipBlanks(text);
  std::size_t i = 0;
  negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  magnitude = 0;
  overflow = false;
  bool any = false;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    any = true;
    if (overflow) {
      continue;
    }
    magnitude = magnitude * 10 + static_cast<std::uint64_t>(text[i] - '0');
    if (magnitude > limit) {
      overflow = true;
    }
  }
  return any;
}

#if defined(_WIN32)
using CLocale = _locale_t;
CLocale MakeCLocale() { return _create_locale(LC_ALL, "C"); }
double StrToD(const char* s, char** end, CLocale loc) { return _strtod_l(s, end, loc); }

// The C library of Windows has no _strtof_l, and rounding strtod's double to float could round
// twice. The syntax and the end come from _strtod_l; the float is rounded once, by from_chars,
// from the same characters.
float StrToF(const char* s, char** end, CLocale loc) {
  const double wide = _strtod_l(s, end, loc);
  if (*end == s) {
    return 0.0F;
  }
  std::string_view token(s, static_cast<std::size_t>(*end - s));
  token.remove_prefix(std::min(token.find_first_not_of(" \t\n\v\f\r"), token.size()));
  const bool negative = !token.empty() && token.front() == '-';
  if (!token.empty() && (token.front() == '-' || token.front() == '+')) {
    token.remove_prefix(1);
  }
  std::chars_format format = std::chars_format::general;
  if (token.size() > 2 && token[0] == '0' && (token[1] == 'x' || token[1] == 'X')) {
    token.remove_prefix(2);
    format = std::chars_format::hex;
  }
  float value = 0.0F;
  const auto result = std::from_chars(token.data(), token.data() + token.size(), value, format);
  if (result.ec == std::errc() && result.ptr == token.data() + token.size()) {
    return negative ? -value : value;
  }
  // Beyond the float range: an overflow becomes infinity with ERANGE, as strtof reports it.
  value = static_cast<float>(wide);
  if (std::isinf(value)) {
    errno = ERANGE;
  }
  return value;
}
#else
using CLocale = locale_t;
CLocale MakeCLocale() { return newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr)); }
double StrToD(const char* s, char** end, CLocale loc) { return strtod_l(s, end, loc); }
float StrToF(const char* s, char** end, CLocale loc) { return strtof_l(s, end, loc); }
#endif

CLocale TheCLocale() {
  static const CLocale locale = MakeCLocale();
  return locale;
}

// "inf", "infinity" and "nan" (any case, signed, after leading blanks) as the C library of
// Linux reads them; the one of Windows reads none of them, and a settings file must mean the same
// on both.
std::optional<double> ReadNonFinite(std::string_view text) {
  text.remove_prefix(std::min(text.find_first_not_of(" \t\n\v\f\r"), text.size()));
  const bool negative = !text.empty() && text.front() == '-';
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
    text.remove_prefix(1);
  }
  const auto startsWith = [text](std::string_view word) {
    return text.size() >= word.size() &&
           std::equal(word.begin(), word.end(), text.begin(), [](char a, char b) {
             return a == (b >= 'A' && b <= 'Z' ? static_cast<char>(b - 'A' + 'a') : b);
           });
  };
  if (startsWith("inf")) {
    return negative ? -std::numeric_limits<double>::infinity()
                    : std::numeric_limits<double>::infinity();
  }
  if (startsWith("nan")) {
    return negative ? -std::numeric_limits<double>::quiet_NaN()
                    : std::numeric_limits<double>::quiet_NaN();
  }
  return std::nullopt;
}

}  // namespace

std::int32_t ParseDecimalInt(std::string_view text) {
  bool negative = false;
  bool overflow = false;
  std::uint64_t magnitude = 0;
  constexpr std::uint64_t kLimit = 0x80000000ULL;
  if (!ReadDigits(text, negative, magnitude, overflow, kLimit)) {
    return 0;
  }
  if (negative) {
    return (overflow || magnitude >= kLimit) ? std::numeric_limits<std::int32_t>::min()
                                             : -static_cast<std::int32_t>(magnitude);
  }
  return (overflow || magnitude >= kLimit) ? std::numeric_limits<std::int32_t>::max()
                                           : static_cast<std::int32_t>(magnitude);
}

std::optional<std::uint32_t> ParseUnsigned32(std::string_view text) {
  bool negative = false;
  bool overflow = false;
  std::uint64_t magnitude = 0;
  if (!ReadDigits(text, negative, magnitude, overflow, 0xFFFFFFFFULL) || overflow) {
    return std::nullopt;
  }
  const auto value = static_cast<std::uint32_t>(magnitude);
  return negative ? static_cast<std::uint32_t>(0U - value) : value;
}

std::optional<float> ParseSingle(std::string_view text) {
  const std::string copy(text);
  char* end = nullptr;
  errno = 0;
  const float value = StrToF(copy.c_str(), &end, TheCLocale());
  if (end == copy.c_str()) {
    return std::nullopt;
  }
  if (errno == ERANGE && std::isinf(value)) {
    return std::nullopt;
  }
  return value;
}

double ParseDouble(std::string_view text) { return ParseNumber(text).value_or(0.0); }

std::optional<double> ParseNumber(std::string_view text) {
  const std::string copy(text);
  char* end = nullptr;
  const double value = StrToD(copy.c_str(), &end, TheCLocale());
  if (end == copy.c_str()) {
    return ReadNonFinite(text);
  }
  return value;
}

std::string FormatFixed6(double value) { return FormatFixed(value, 6); }

std::string FormatFixed(double value, int decimals) {
  char buffer[400];
  const auto result =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
  return std::string(buffer, result.ptr);
}

std::string FormatShortest(double value) {
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return result.ec == std::errc() ? std::string(buffer, result.ptr) : std::string();
}

}  // namespace platform
