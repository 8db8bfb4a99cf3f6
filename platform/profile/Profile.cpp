#include "platform/profile/Profile.h"

#include "platform/fs/FileSystem.h"
#include "platform/text/BoundedText.h"
#include "platform/text/NumberText.h"

namespace platform {
namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

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
std::string_view Trim(std::string_view text) {
  const auto first = text.find_first_not_of(" \t\r");
  if (first == std::string_view::npos) {
    return {};
  }
  const auto last = text.find_last_not_of(" \t\r");
  return text.substr(first, last - first + 1);
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) {
    return false;
  }
  for (std::size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; };
    if (lower(a[i]) != lower(b[i])) {
      return false;
    }
  }
  return true;
}

ParsedLine ParseLine(std::string_view content) {
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

std::string LineEnding(const std::string& text) {
  const auto newline = text.find('\n');
  if (newline != std::string::npos && (newline == 0 || text[newline - 1] != '\r')) {
    return "\n";
  }
  return "\r\n";
}

bool HasLineBreak(std::string_view text) {
  return text.find_first_of("\r\n") != std::string_view::npos;
}

}  // namespace

std::optional<std::string> ProfileDocument::Find(std::string_view section,
                                                 std::string_view key) const {
  section = Trim(section);
  key = Trim(key);
  std::optional<std::string> found;
  bool inTarget = false;
  bool seenTarget = false;
  ForEachLine(m_text, [&](const Line&, const ParsedLine& parsed) {
    if (parsed.kind == LineKind::Section) {
      if (seenTarget) {
        return false;  // only the first matching section counts
      }
      inTarget = seenTarget = EqualsNoCase(parsed.name, section);
    } else if (parsed.kind == LineKind::Key && inTarget && EqualsNoCase(parsed.name, key)) {
      std::string_view value = parsed.value;
      if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
        value = value.substr(1, value.size() - 2);
      }
      found = std::string(value);
      return false;
    }
    return true;
  });
  return found;
}

bool ProfileDocument::Set(std::string_view section, std::string_view key, std::string_view value) {
  section = Trim(section);
  key = Trim(key);
  if (section.empty() || key.empty() || HasLineBreak(section) || HasLineBreak(key) ||
      HasLineBreak(value) || section.find(']') != std::string_view::npos ||
      key.find('=') != std::string_view::npos || key.front() == ';' || key.front() == '[') {
    return false;
  }
  const std::string eol = LineEnding(m_text);
  const std::string keyLine = std::string(key) + "=" + std::string(value);

  bool inTarget = false;
  bool seenTarget = false;
  std::optional<Line> anchor;    // the line a new key goes after
  std::optional<Line> keyFound;  // the existing line of the key
  ForEachLine(m_text, [&](const Line& line, const ParsedLine& parsed) {
    if (parsed.kind == LineKind::Section) {
      if (seenTarget) {
        return false;
      }
      inTarget = seenTarget = EqualsNoCase(parsed.name, section);
      if (inTarget) {
        anchor = line;
      }
    } else if (parsed.kind == LineKind::Key && inTarget) {
      if (EqualsNoCase(parsed.name, key)) {
        keyFound = line;
        return false;
      }
      anchor = line;
    }
    return true;
  });

  if (keyFound) {
    m_text.replace(keyFound->begin, keyFound->contentEnd - keyFound->begin, keyLine);
  } else if (anchor) {
    if (anchor->end > anchor->contentEnd) {
      m_text.insert(anchor->end, keyLine + eol);
    } else {
      m_text.insert(anchor->end, eol + keyLine);
    }
  } else {
    if (!m_text.empty()) {
      if (m_text.back() != '\n') {
        m_text += eol;
      }
      // Keep a blank line between sections unless the text already ends with one.
      const std::size_t lastBreak = m_text.size() - 1;
      const auto previousBreak =
          lastBreak == 0 ? std::string::npos : m_text.rfind('\n', lastBreak - 1);
      const std::size_t lastLineBegin = previousBreak == std::string::npos ? 0 : previousBreak + 1;
      const std::string_view lastLine(m_text.data() + lastLineBegin, lastBreak - lastLineBegin);
      if (!Trim(lastLine.substr(0, lastLine.find('\r'))).empty()) {
        m_text += eol;
      }
    }
    m_text += "[" + std::string(section) + "]" + eol + keyLine + eol;
  }
  return true;
}

void ProfileDocument::Remove(std::string_view section, std::string_view key) {
  section = Trim(section);
  key = Trim(key);
  bool inTarget = false;
  bool seenTarget = false;
  std::optional<Line> keyFound;
  ForEachLine(m_text, [&](const Line& line, const ParsedLine& parsed) {
    if (parsed.kind == LineKind::Section) {
      if (seenTarget) {
        return false;
      }
      inTarget = seenTarget = EqualsNoCase(parsed.name, section);
    } else if (parsed.kind == LineKind::Key && inTarget && EqualsNoCase(parsed.name, key)) {
      keyFound = line;
      return false;
    }
    return true;
  });
  if (keyFound) {
    m_text.erase(keyFound->begin, keyFound->end - keyFound->begin);
  }
}

ProfileSnapshot::ProfileSnapshot(const std::string& file)
    : m_document(ReadFileBytes(file).value_or(std::string())) {}

std::optional<ProfileSnapshot> ProfileSnapshot::Load(const std::string& file, int* errorNumber) {
  auto bytes = ReadFileBytes(file, errorNumber);
  if (!bytes) {
    return std::nullopt;
  }
  return FromText(std::move(*bytes));
}

ProfileSnapshot ProfileSnapshot::FromText(std::string text) {
  ProfileSnapshot snapshot;
  snapshot.m_document = ProfileDocument(std::move(text));
  return snapshot;
}

std::string ProfileSnapshot::GetString(std::string_view section, std::string_view key) const {
  const auto value = m_document.Find(section, key);
  return value ? BoundedCopy(*value, kTextBufferSize) : std::string();
}

std::int32_t ProfileSnapshot::GetInt(std::string_view section, std::string_view key,
                                     std::int32_t defaultValue) const {
  const std::string text = GetString(section, key);
  return text.empty() ? defaultValue : ParseDecimalInt(text);
}

std::string ProfileGetString(const std::string& file, std::string_view section,
                             std::string_view key) {
  return ProfileSnapshot(file).GetString(section, key);
}

std::int32_t ProfileGetInt(const std::string& file, std::string_view section, std::string_view key,
                           std::int32_t defaultValue) {
  return ProfileSnapshot(file).GetInt(section, key, defaultValue);
}

bool ProfileWriteString(const std::string& file, std::string_view section, std::string_view key,
                        std::string_view value) {
  return ProfileWriteStrings(
      file, {ProfileEntry{std::string(section), std::string(key), std::string(value)}});
}

bool ProfileWriteStrings(const std::string& file, const std::vector<ProfileEntry>& entries) {
  if (file.empty()) {
    return false;
  }
  // The lock covers the whole read-modify-write, so a concurrent writer's keys are read back
  // before this update is applied on top of them.
  const FolderLock lock(ParentFolder(file));
  const bool existed = PathExists(file);
  const auto before = existed ? ReadFileBytes(file) : std::optional<std::string>(std::string());
  if (!before) {
    return false;
  }
  ProfileDocument document(*before);
  for (const ProfileEntry& entry : entries) {
    if (entry.remove) {
      document.Remove(entry.section, entry.key);
    } else if (!document.Set(entry.section, entry.key, entry.value)) {
      return false;
    }
  }
  if (existed && document.Text() == *before) {
    return true;
  }
  return ReplaceFileAtomically(file, document.Text());
}

}  // namespace platform
