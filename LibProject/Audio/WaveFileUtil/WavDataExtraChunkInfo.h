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
  struct Chunk {
    char id[4];
    std::vector<std::uint8_t> bytes;
  };

  /// True when chunks with this id are kept.
  static bool IsExtraChunkId(const char id[4]);
  bool Read(const char id[4], std::span<const std::uint8_t> bytes);
  const std::vector<Chunk>& Chunks() const { return m_chunks; }
  void Clear() { m_chunks.clear(); }

 private:
  std::vector<Chunk> m_chunks;
};

/// The text info of a container. Nothing on this program's road reads or writes it.
class C_WavDataTextInfo {};
