#pragma once

// A profile file's text line by line as the document and the snapshot read it: each line's
// extent, and what it is (a section header, a key and its value, or anything else) under the
// rules stated in Profile.h. Internal to the room.
#include <cstddef>
#include <string>
#include <string_view>

namespace platform::profile_detail {

inline constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

// One line of the text: [begin, contentEnd) is its content without the line break,
// [contentEnd, end) the line break itself (empty on a last line without one).
struct Line {
  std::size_t begin;
  std::size_t contentEnd;
  std::size_t end;
};

enum class LineKind { Other, Section, Key };

struct ParsedLine {
  LineKind kind = LineKind::Other;
  std::string_view name;   // section or key name, trimmed
  std::string_view value;  // key value, trimmed
};

// Blanks and tabs around names and values are dropped; so is a stray carriage return, so that a
// line reads the same whether or not a line feed follows it.
inline std::string_view Trim(std::string_view text) {
  const auto first = text.find_first_not_of(" \t\r");
  if (first == std::string_view::npos) {
    return {};
  }
  const auto last = text.find_last_not_of(" \t\r");
  return text.substr(first, last - first + 1);
}

inline char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

inline bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) {
    return false;
  }
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (LowerAscii(a[i]) != LowerAscii(b[i])) {
      return false;
    }
  }
  return true;
}

// A name as the lookups compare it: (ASCII) lower case.
inline std::string Lower(std::string_view name) {
  std::string lower(name);
  for (char& c : lower) {
    c = LowerAscii(c);
  }
  return lower;
}

// A value without the double quotes around it, when it has both.
inline std::string_view Unquoted(std::string_view value) {
  if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
    return value.substr(1, value.size() - 2);
  }
  return value;
}

inline ParsedLine ParseLine(std::string_view content) {
  const std::string_view text = Trim(content);
  ParsedLine parsed;
  if (text.empty() || text.front() == ';') {
    return parsed;
  }
  if (text.front() == '[') {
    const auto close = text.find(']');
    parsed.kind = LineKind::Section;
    parsed.name =
        Trim(text.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1));
    return parsed;
  }
  const auto equals = text.find('=');
  if (equals == std::string_view::npos) {
    return parsed;
  }
  parsed.kind = LineKind::Key;
  parsed.name = Trim(text.substr(0, equals));
  parsed.value = Trim(text.substr(equals + 1));
  return parsed;
}

// Calls `visit(line, parsed)` for every line of `text` until it returns false.
template <typename Visit>
void ForEachLine(const std::string& text, Visit visit) {
  std::size_t pos = text.compare(0, kUtf8Bom.size(), kUtf8Bom) == 0 ? kUtf8Bom.size() : 0;
  while (pos < text.size()) {
    const auto newline = text.find('\n', pos);
    Line line{};
    line.begin = pos;
    if (newline == std::string::npos) {
      line.contentEnd = text.size();
      line.end = text.size();
    } else {
      line.contentEnd = (newline > pos && text[newline - 1] == '\r') ? newline - 1 : newline;
      line.end = newline + 1;
    }
    const std::string_view content(text.data() + line.begin, line.contentEnd - line.begin);
    if (!visit(line, ParseLine(content))) {
      return;
    }
    pos = line.end;
  }
}

}  // namespace platform::profile_detail
