#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace platform {

// INI ("profile") files with the semantics the settings rely on:
// - sections "[name]", then "key = value" lines; section and key names match without regard
//   to (ASCII) case; blanks and tabs around names and values are dropped;
// - the first matching section, and the first matching key in it, win;
// - lines without "=" and comment lines starting with ";" are ignored, as are keys before the
//   first section;
// - a value in matching double quotes loses its quotes;
// - LF and CR LF files read alike; a UTF-8 byte-order mark at the start is skipped.

/// One key to write: section, key and value.
struct ProfileEntry {
  std::string section;
  std::string key;
  std::string value;
  bool remove = false;  ///< removes the key instead (nothing happens when it is missing)
};

/// The text of one profile file with lookups and in-place edits. An edit changes only the
/// bytes of the line it writes; every other byte of the text stays as it was.
class ProfileDocument {
 public:
  ProfileDocument() = default;
  explicit ProfileDocument(std::string text) : m_text(std::move(text)) {}

  /// The value of `key` in `section` (blanks and quotes removed, not shortened), or empty when
  /// the section or key is missing.
  std::optional<std::string> Find(std::string_view section, std::string_view key) const;

  /// Writes `key=value` into `section`: an existing key's line is replaced; a missing key is
  /// added after the last key line of its section (or its header); a missing section is added
  /// at the end. New lines use the text's own line ending (CR LF for an empty text). False, and
  /// nothing changed, when a name or value cannot be stored (line breaks, "]" in a section
  /// name, "=" in a key, empty names).
  bool Set(std::string_view section, std::string_view key, std::string_view value);

  /// Removes the line of `key` in `section`, line ending included; nothing when it is missing.
  void Remove(std::string_view section, std::string_view key);

  /// Applies `entries` in order with the result that Set and Remove give one after another,
  /// but reads and rebuilds the text once: the time grows with the text plus the entries, not
  /// with their product. False, and nothing changed, when an entry cannot be stored (see Set).
  bool Apply(const std::vector<ProfileEntry>& entries);

  const std::string& Text() const { return m_text; }

 private:
  std::string m_text;
};

/// A profile file read once, for many lookups under the rules of ProfileGetString and
/// ProfileGetInt, each answered from an index built with the snapshot. A missing or unreadable
/// file reads as empty.
class ProfileSnapshot {
 public:
  explicit ProfileSnapshot(const std::string& file);
  /// A snapshot of profile text held in memory.
  static ProfileSnapshot FromText(std::string text);
  /// Reads `file`; empty when it is missing or cannot be read (a folder, a device, a FIFO, no
  /// permission), with the system's reason in `*errorNumber` when given.
  static std::optional<ProfileSnapshot> Load(const std::string& file, int* errorNumber = nullptr);

  /// The text the snapshot was read from.
  const std::string& Text() const { return m_document.Text(); }

  std::string GetString(std::string_view section, std::string_view key) const;
  std::int32_t GetInt(std::string_view section, std::string_view key,
                      std::int32_t defaultValue) const;

 private:
  ProfileSnapshot() = default;
  void BuildIndex();

  ProfileDocument m_document;
  /// The value of the first key of each name in the first section of each name, both names in
  /// lower case: what ProfileDocument::Find answers, without reading the text again.
  std::unordered_map<std::string, std::unordered_map<std::string, std::string>> m_index;
};

/// Reads a value as into a 780-byte buffer with an empty default: at most 779 bytes; empty when
/// the file, section or key is missing.
std::string ProfileGetString(const std::string& file, std::string_view section,
                             std::string_view key);

/// Reads an integer: `defaultValue` when the key is missing or empty, otherwise the decimal
/// text-to-integer rule (leading blanks, optional sign, digits; no digits gives 0).
std::int32_t ProfileGetInt(const std::string& file, std::string_view section, std::string_view key,
                           std::int32_t defaultValue);

/// Writes one key. The file is created when missing (its folder must exist). The update is
/// atomic and made under a lock on the folder, so readers in other processes never see a
/// half-written file and concurrent writers never lose each other's keys. False, with the file
/// unchanged, when it cannot be written.
[[nodiscard]] bool ProfileWriteString(const std::string& file, std::string_view section,
                                      std::string_view key, std::string_view value);

/// Writes (or removes) several keys, in order, as one atomic update: either all of them land or
/// none.
[[nodiscard]] bool ProfileWriteStrings(const std::string& file,
                                       const std::vector<ProfileEntry>& entries);

}  // namespace platform
