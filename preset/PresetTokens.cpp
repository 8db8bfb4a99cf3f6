#include "preset/PresetTokens.h"

#include <charconv>
#include <cmath>
#include <cstdint>

namespace {

// Appends the UTF-8 bytes of code point `code` to `out`.
void AppendUtf8(std::uint32_t code, std::string& out) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

}  // namespace

namespace preset_detail {

std::string Upper(std::string_view text) {
  std::string upper(text);
  for (char& c : upper) {
    if (c >= 'a' && c <= 'z') {
      c = static_cast<char>(c - 'a' + 'A');
    }
  }
  return upper;
}

std::vector<std::string> Tokens(std::string_view text) {
  std::vector<std::string> tokens;
  std::size_t at = 0;
  while (at < text.size()) {
    while (at < text.size() && (text[at] == ' ' || text[at] == '\t')) ++at;
    const std::size_t begin = at;
    while (at < text.size() && text[at] != ' ' && text[at] != '\t') ++at;
    if (at > begin) {
      tokens.emplace_back(text.substr(begin, at - begin));
    }
  }
  return tokens;
}

// A whole token as a number (after the commas became points), whatever the locale.
std::optional<double> Number(std::string_view token) {
  double value = 0.0;
  const char* begin = token.data();
  if (!token.empty() && token.front() == '+') {
    ++begin;
  }
  const auto [end, error] = std::from_chars(begin, token.data() + token.size(), value);
  if (error != std::errc() || end != token.data() + token.size() || !std::isfinite(value)) {
    return std::nullopt;
  }
  return value;
}

// A frequency token: Room EQ Wizard writes thousands with a separator ("1,234" or "1.234"),
// which its readers take as thousands when the point stands fourth from the end.
std::optional<double> Frequency(std::string_view token) {
  const auto value = Number(token);
  if (value && token.size() >= 5 && token[token.size() - 4] == '.' &&
      token.find_first_of("eE") == std::string_view::npos) {
    return *value * 1000.0;
  }
  return value;
}

// Text that starts with a UTF-16 byte order mark (little- or big-endian, as Windows editors save
// "Unicode" text) as UTF-8 without the mark; empty for any other text. A lone surrogate becomes
// U+FFFD and an odd last byte is dropped.
std::optional<std::string> Utf16AsUtf8(std::string_view text) {
  const bool little = text.starts_with("\xFF\xFE");
  if (!little && !text.starts_with("\xFE\xFF")) {
    return std::nullopt;
  }
  auto unit = [&text, little](std::size_t at) {
    const auto first = static_cast<std::uint8_t>(text[at]);
    const auto second = static_cast<std::uint8_t>(text[at + 1]);
    return little ? static_cast<std::uint32_t>(first | (second << 8))
                  : static_cast<std::uint32_t>((first << 8) | second);
  };
  std::string out;
  out.reserve(text.size() / 2);
  for (std::size_t at = 2; at + 1 < text.size(); at += 2) {
    std::uint32_t code = unit(at);
    if (code >= 0xD800 && code < 0xDC00 && at + 3 < text.size() && unit(at + 2) >= 0xDC00 &&
        unit(at + 2) < 0xE000) {
      code = 0x10000 + ((code - 0xD800) << 10) + (unit(at + 2) - 0xDC00);
      at += 2;
    } else if (code >= 0xD800 && code < 0xE000) {
      code = 0xFFFD;
    }
    AppendUtf8(code, out);
  }
  return out;
}

}  // namespace preset_detail
