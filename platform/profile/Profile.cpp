#include "platform/profile/Profile.h"

#include <deque>
#include <list>

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

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

bool EqualsNoCase(std::string_view a, std::string_view b) {
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
std::string Lower(std::string_view name) {
  std::string lower(name);
  for (char& c : lower) {
    c = LowerAscii(c);
  }
  return lower;
}

// A value without the double quotes around it, when it has both.
std::string_view Unquoted(std::string_view value) {
  if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
    return value.substr(1, value.size() - 2);
  }
  return value;
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

// True when `key=value` can be written into `section` (both names trimmed) and read back.
bool CanStore(std::string_view section, std::string_view key, std::string_view value) {
  return !section.empty() && !key.empty() && !HasLineBreak(section) && !HasLineBreak(key) &&
         !HasLineBreak(value) && section.find(']') == std::string_view::npos &&
         key.find('=') == std::string_view::npos && key.front() != ';' && key.front() != '[';
}

// True when the last line of a text, `content` without its line break, holds nothing but
// blanks up to its first carriage return.
bool IsBlankLastLine(std::string_view content) {
  return Trim(content.substr(0, content.find('\r'))).empty();
}

// The text of a document as Apply edits it: one node per line, so that a line is replaced,
// inserted or removed without moving the rest of the text.
struct EditLine {
  std::string content;
  std::string ending;  // "\r\n", "\n", or empty on a last line without a line break
  LineKind kind = LineKind::Other;
};
using EditLines = std::list<EditLine>;

// The first section of a name, with what Set and Remove look for in it.
struct EditSection {
  EditLines::iterator header;
  EditLines::iterator lastKey;  // where a new key goes after: its last key line, else its header
  std::unordered_map<std::string, std::deque<EditLines::iterator>> keys;  // lines of each key name
};

// The document as a list of lines, with the first section of each name and its keys, for a
// run of edits applied in one pass: each edit finds its line through the index instead of
// scanning the text again.
class ProfileEdit {
 public:
  // Reads the lines, and the first section of each name with its keys, once.
  explicit ProfileEdit(const std::string& text)
      : m_original(text),
        m_bomSize(text.compare(0, kUtf8Bom.size(), kUtf8Bom) == 0 ? kUtf8Bom.size() : 0) {
    EditSection* current = nullptr;
    ForEachLine(text, [&](const Line& line, const ParsedLine& parsed) {
      m_lines.push_back({text.substr(line.begin, line.contentEnd - line.begin),
                         text.substr(line.contentEnd, line.end - line.contentEnd), parsed.kind});
      const auto at = std::prev(m_lines.end());
      if (parsed.kind == LineKind::Section) {
        // A later section of the same name is never found; its keys are not looked at.
        const auto [entry, added] = m_sections.try_emplace(Lower(parsed.name));
        current = added ? &entry->second : nullptr;
        if (current != nullptr) {
          current->header = at;
          current->lastKey = at;
        }
      } else if (parsed.kind == LineKind::Key && current != nullptr) {
        current->keys[Lower(parsed.name)].push_back(at);
        current->lastKey = at;
      }
      return true;
    });
  }

  // Removes the first line of `key` in the first section `section`, when there is one.
  void Remove(std::string_view sectionName, std::string_view keyName) {
    const auto found = m_sections.find(Lower(sectionName));
    if (found == m_sections.end()) {
      return;
    }
    EditSection& section = found->second;
    const auto same = section.keys.find(Lower(keyName));
    if (same == section.keys.end() || same->second.empty()) {
      return;
    }
    const auto line = same->second.front();
    same->second.pop_front();
    if (section.lastKey == line) {
      auto before = line;
      do {
        --before;
      } while (before != section.header && before->kind != LineKind::Key);
      section.lastKey = before;
    }
    m_lines.erase(line);
  }

  // Sets the key in the section's first line of it, or adds the key after the section's last
  // key. False when the section does not exist.
  bool SetInSection(std::string_view sectionName, std::string_view keyName,
                    const std::string& value) {
    const auto found = m_sections.find(Lower(sectionName));
    if (found == m_sections.end()) {
      return false;
    }
    std::string keyLine = std::string(keyName) + "=" + value;
    EditSection& section = found->second;
    auto& same = section.keys[Lower(keyName)];
    if (!same.empty()) {
      same.front()->content = std::move(keyLine);
      return true;
    }
    EditLine added{std::move(keyLine), LineEnding(), LineKind::Key};
    if (section.lastKey->ending.empty()) {
      EndLastLine(*section.lastKey, added.ending);
      added.ending.clear();
    }
    section.lastKey = m_lines.insert(std::next(section.lastKey), std::move(added));
    same.push_back(section.lastKey);
    return true;
  }

  // Adds a new section with its first key at the end, after a blank line unless the text ends
  // with one.
  void AddSection(std::string_view sectionName, std::string_view keyName,
                  const std::string& value) {
    const std::string eol = LineEnding();
    if (m_bomSize > 0 || !m_lines.empty()) {
      if (m_lines.empty()) {
        m_lines.push_back({"", eol, LineKind::Other});  // the line that holds only the mark
      } else if (m_lines.back().ending.empty()) {
        EndLastLine(m_lines.back(), eol);
      }
      const bool onlyLine = std::next(m_lines.begin()) == m_lines.end();
      const std::string last =
          (onlyLine ? m_original.substr(0, m_bomSize) : std::string()) + m_lines.back().content;
      if (!IsBlankLastLine(last)) {
        m_lines.push_back({"", eol, LineKind::Other});
      }
    }
    EditSection section;
    section.header = m_lines.insert(m_lines.end(),
                                    {"[" + std::string(sectionName) + "]", eol, LineKind::Section});
    section.lastKey =
        m_lines.insert(m_lines.end(), {std::string(keyName) + "=" + value, eol, LineKind::Key});
    section.keys[Lower(keyName)].push_back(section.lastKey);
    m_sections.emplace(Lower(sectionName), std::move(section));
  }

  // The edited text; `edits` sizes the reservation.
  std::string Text(std::size_t edits) const {
    std::string text = m_original.substr(0, m_bomSize);
    text.reserve(m_original.size() + edits * 32);
    for (const EditLine& line : m_lines) {
      text += line.content;
      text += line.ending;
    }
    return text;
  }

 private:
  // New lines end as the text's first line break does (CR LF when there is none); only the
  // last line can be without one.
  std::string LineEnding() const {
    for (const EditLine& line : m_lines) {
      if (!line.ending.empty()) {
        return line.ending == "\n" ? "\n" : "\r\n";
      }
    }
    return "\r\n";
  }

  // Gives the last line, which has none, a line break: a carriage return that ended its content
  // then belongs to the break, as a read of the new text would take it.
  static void EndLastLine(EditLine& line, const std::string& eol) {
    if (eol == "\n" && !line.content.empty() && line.content.back() == '\r') {
      line.content.pop_back();
      line.ending = "\r\n";
    } else {
      line.ending = eol;
    }
  }

  const std::string& m_original;
  std::size_t m_bomSize;
  EditLines m_lines;
  std::unordered_map<std::string, EditSection> m_sections;
};

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
      found = std::string(Unquoted(parsed.value));
      return false;
    }
    return true;
  });
  return found;
}

bool ProfileDocument::Set(std::string_view section, std::string_view key, std::string_view value) {
  section = Trim(section);
  key = Trim(key);
  if (!CanStore(section, key, value)) {
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
      if (!IsBlankLastLine(lastLine)) {
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

bool ProfileDocument::Apply(const std::vector<ProfileEntry>& entries) {
  for (const ProfileEntry& entry : entries) {
    if (!entry.remove && !CanStore(Trim(entry.section), Trim(entry.key), entry.value)) {
      return false;
    }
  }
  if (entries.empty()) {
    return true;
  }
  ProfileEdit edit(m_text);
  for (const ProfileEntry& entry : entries) {
    const std::string_view sectionName = Trim(entry.section);
    const std::string_view keyName = Trim(entry.key);
    if (entry.remove) {
      edit.Remove(sectionName, keyName);
    } else if (!edit.SetInSection(sectionName, keyName, entry.value)) {
      edit.AddSection(sectionName, keyName, entry.value);
    }
  }
  m_text = edit.Text(entries.size());
  return true;
}

ProfileSnapshot::ProfileSnapshot(const std::string& file)
    : m_document(ReadFileBytes(file).value_or(std::string())) {
  BuildIndex();
}

void ProfileSnapshot::BuildIndex() {
  std::unordered_map<std::string, std::string>* current = nullptr;
  ForEachLine(m_document.Text(), [&](const Line&, const ParsedLine& parsed) {
    if (parsed.kind == LineKind::Section) {
      const auto [entry, added] = m_index.try_emplace(Lower(parsed.name));
      current = added ? &entry->second : nullptr;
    } else if (parsed.kind == LineKind::Key && current != nullptr) {
      current->try_emplace(Lower(parsed.name), Unquoted(parsed.value));
    }
    return true;
  });
}

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
  snapshot.BuildIndex();
  return snapshot;
}

std::string ProfileSnapshot::GetString(std::string_view section, std::string_view key) const {
  const auto inSection = m_index.find(Lower(Trim(section)));
  if (inSection == m_index.end()) {
    return {};
  }
  const auto value = inSection->second.find(Lower(Trim(key)));
  return value == inSection->second.end() ? std::string()
                                          : BoundedCopy(value->second, kTextBufferSize);
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
  if (!document.Apply(entries)) {
    return false;
  }
  if (existed && document.Text() == *before) {
    return true;
  }
  return ReplaceFileAtomically(file, document.Text());
}

}  // namespace platform
