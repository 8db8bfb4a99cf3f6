// The text of a profile file as a document: lookups, and edits that change only the lines they
// write.
#include <deque>
#include <list>
#include <optional>
#include <string>
#include <unordered_map>

#include "platform/profile/Profile.h"
#include "platform/profile/ProfileLines.h"

namespace platform {
namespace {

using profile_detail::EqualsNoCase;
using profile_detail::ForEachLine;
using profile_detail::kUtf8Bom;
using profile_detail::Line;
using profile_detail::LineKind;
using profile_detail::Lower;
using profile_detail::ParsedLine;
using profile_detail::Trim;
using profile_detail::Unquoted;

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

}  // namespace platform
