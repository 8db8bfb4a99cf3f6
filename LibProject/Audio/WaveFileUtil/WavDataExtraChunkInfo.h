#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

/// Chunks kept verbatim and written back after the known ones: "WIOD", "UIOW", "MIOW", "UIOI",
/// the broadcast chunks "bext" and "iXML", and "LIST" chunks of the "INFO" type (a
/// recording's title, artist, comment and the like).
class C_WavDataExtraChunkInfo {
 public:
  struct C_Chunk {
    char id[4];
    std::vector<std::uint8_t> bytes;
  };

  /// True when chunks with this id are kept.
  static bool IsExtraChunkId(const char id[4]);
  bool Read(const char id[4], std::span<const std::uint8_t> bytes);
  const std::vector<C_Chunk>& Chunks() const { return m_chunks; }
  void Clear() { m_chunks.clear(); }

 private:
  std::vector<C_Chunk> m_chunks;
};

/// The text tags of a recording (title, artist, comment, ...) as containers other than WAVE
/// carry them: each with its kind and text, in the order read. WAVE files keep theirs in their
/// INFO list (an extra chunk) instead.
class C_WavDataTextInfo {
 public:
  enum class Kind {
    Title = 1,
    Copyright,
    Software,
    Artist,
    Comment,
    Date,
    Album,
    License,
    TrackNumber,
    Genre
  };
  struct C_Tag {
    Kind kind;
    std::string text;
  };
  void Add(Kind kind, std::string text) { m_tags.push_back({kind, std::move(text)}); }
  const std::vector<C_Tag>& Tags() const { return m_tags; }
  void Clear() { m_tags.clear(); }

 private:
  std::vector<C_Tag> m_tags;
};
