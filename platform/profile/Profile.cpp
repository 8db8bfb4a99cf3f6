// The profile functions the settings use: lookups in a file read once, and writes made
// atomically under a lock on the file's folder.
#include "platform/profile/Profile.h"

#include "platform/fs/FileSystem.h"
#include "platform/profile/ProfileLines.h"
#include "platform/text/BoundedText.h"
#include "platform/text/NumberText.h"

namespace platform {

using profile_detail::ForEachLine;
using profile_detail::Line;
using profile_detail::LineKind;
using profile_detail::Lower;
using profile_detail::ParsedLine;
using profile_detail::Trim;
using profile_detail::Unquoted;

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
