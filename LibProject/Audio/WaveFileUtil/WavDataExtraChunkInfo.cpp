#include "LibProject/Audio/WaveFileUtil/WavDataExtraChunkInfo.h"

#include <cstring>

#include "LibProject/Audio/WaveFileUtil/riff/ByteIO.h"

bool C_WavDataExtraChunkInfo::IsExtraChunkId(const char id[4]) {
  return SameIdNoCase(id, "WIOD") || SameIdNoCase(id, "UIOW") || SameIdNoCase(id, "MIOW") ||
         SameIdNoCase(id, "UIOI") || std::memcmp(id, "bext", 4) == 0 ||
         std::memcmp(id, "iXML", 4) == 0;
}

bool C_WavDataExtraChunkInfo::Read(const char id[4], std::span<const std::uint8_t> bytes) {
  C_Chunk chunk;
  std::memcpy(chunk.id, id, 4);
  chunk.bytes.assign(bytes.begin(), bytes.end());
  m_chunks.push_back(std::move(chunk));
  return true;
}
