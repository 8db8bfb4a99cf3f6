#include "LibProject/Audio/WaveFileUtil/RiffFile.h"

#include <algorithm>
#include <cstring>

C_RiffChunk::C_RiffChunk(std::uint32_t itemId, const char id[4], std::uint32_t size,
                         std::uint64_t offset, ByteSource* source)
    : m_itemId(itemId), m_size(size), m_offset(offset), m_source(source) {
  std::memcpy(m_id, id, 4);
}

bool C_RiffChunk::IsId(const char* id) const { return SameIdNoCase(m_id, id); }

std::uint32_t C_RiffChunk::AvailableSize() const {
  if (m_loaded) {
    return static_cast<std::uint32_t>(m_data.size());
  }
  if (m_source == nullptr || m_offset >= m_source->Size()) {
    return 0;
  }
  return static_cast<std::uint32_t>(std::min<std::uint64_t>(m_size, m_source->Size() - m_offset));
}

const std::vector<std::uint8_t>& C_RiffChunk::Data() {
  if (!m_loaded) {
    const std::uint32_t available = AvailableSize();
    m_loaded = true;
    m_data.resize(available);
    if (available > 0) {
      m_data.resize(m_source->ReadAt(m_offset, m_data.data(), available));
    }
  }
  return m_data;
}

std::size_t C_RiffChunk::Read(void* buffer, std::size_t length, std::size_t offset) {
  const auto& data = Data();
  if (data.empty() || offset >= data.size()) {
    return 0;
  }
  const std::size_t n = std::min(length, data.size() - offset);
  std::memcpy(buffer, data.data() + offset, n);
  return n;
}

void C_RiffChunk::SetData(std::vector<std::uint8_t> bytes) {
  m_data = std::move(bytes);
  m_loaded = true;
}

bool C_RiffFile::Open(ByteSource& source, const char formType[4]) {
  m_chunks.Clear();
  std::uint8_t header[12];
  if (!source.ReadExact(0, header, sizeof header)) {
    return false;
  }
  const char* tag = reinterpret_cast<const char*>(header);
  if (!SameIdNoCase(tag, "RIFF") || !SameIdNoCase(tag + 8, formType)) {
    return false;
  }
  const std::uint32_t riffSize = GetLE32(header + 4);
  // What the RIFF size leaves for chunks; a size below 4 leaves nothing.
  std::uint64_t remaining = riffSize >= 4 ? riffSize - 4U : 0U;
  std::uint64_t position = 12;
  const std::uint64_t end = source.Size();
  std::uint32_t itemId = 1;
  while (true) {
    // Pad bytes and runs of zero bytes between chunks are passed over.
    std::uint8_t byte = 0;
    while (position < end && source.ReadExact(position, &byte, 1) && byte == 0) {
      ++position;
      if (remaining > 0) {
        --remaining;
      }
    }
    std::uint8_t chunkHeader[8];
    if (!source.ReadExact(position, chunkHeader, sizeof chunkHeader)) {
      return true;
    }
    const std::uint32_t size = GetLE32(chunkHeader + 4);
    const std::uint64_t dataOffset = position + 8;
    m_chunks.Append(std::make_unique<C_RiffChunk>(
        itemId++, reinterpret_cast<const char*>(chunkHeader), size, dataOffset, &source));
    position = dataOffset + size;
    if (remaining <= static_cast<std::uint64_t>(size) + 8) {
      return true;
    }
    remaining -= static_cast<std::uint64_t>(size) + 8;
  }
}
