#include "LibProject/Audio/WaveFileUtil/riff/RiffFile.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <utility>
#include <vector>

C_RiffChunk::C_RiffChunk(std::uint32_t itemId, const char id[4], std::uint64_t size,
                         std::uint64_t offset, I_ByteSource* source)
    : m_itemId(itemId), m_size(size), m_offset(offset), m_source(source) {
  std::memcpy(m_id, id, 4);
}

bool C_RiffChunk::IsId(const char* id) const { return SameIdNoCase(m_id, id); }

std::uint64_t C_RiffChunk::AvailableSize() const {
  if (m_loaded) {
    return m_data.size();
  }
  if (m_source == nullptr || m_offset >= m_source->Size()) {
    return 0;
  }
  return std::min<std::uint64_t>(m_size, m_source->Size() - m_offset);
}

const std::vector<std::uint8_t>& C_RiffChunk::Data() {
  if (!m_loaded) {
    const auto available = static_cast<std::size_t>(AvailableSize());
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

namespace {

constexpr std::uint32_t kSizeInDs64 = 0xFFFFFFFFU;

// The 64-bit sizes of an RF64 file's "ds64" chunk.
struct Ds64 {
  std::uint64_t riffSize = 0;
  std::uint64_t dataSize = 0;
  std::vector<std::pair<std::array<char, 4>, std::uint64_t>> table;  // other chunks' sizes
};

// Reads the "ds64" chunk at `position` (its header included); false when it is not one.
bool ReadDs64(I_ByteSource& source, std::uint64_t position, Ds64& ds64, std::uint64_t& next) {
  std::uint8_t head[8 + 28];
  if (!source.ReadExact(position, head, sizeof head) ||
      !SameIdNoCase(reinterpret_cast<const char*>(head), "ds64")) {
    return false;
  }
  const std::uint32_t size = GetLE32(head + 4);
  const std::uint32_t entries = GetLE32(head + 8 + 24);
  if (size < 28 || (size - 28) / 12 < entries) {
    return false;  // the table does not fit the chunk
  }
  auto get64 = [](const std::uint8_t* p) {
    return static_cast<std::uint64_t>(GetLE32(p)) | static_cast<std::uint64_t>(GetLE32(p + 4))
                                                        << 32;
  };
  ds64.riffSize = get64(head + 8);
  ds64.dataSize = get64(head + 16);
  for (std::uint32_t i = 0; i < entries; ++i) {
    std::uint8_t entry[12];
    if (!source.ReadExact(position + 8 + 28 + 12ULL * i, entry, sizeof entry)) {
      return false;
    }
    std::array<char, 4> id{};
    std::memcpy(id.data(), entry, 4);
    ds64.table.emplace_back(id, get64(entry + 4));
  }
  next = position + 8 + size + (size & 1U);
  return true;
}

// The size of chunk `id` whose header holds kSizeInDs64: the "data" size or the table entry of
// the "ds64" chunk; the size as it stands when the table has none.
std::uint64_t SizeFromDs64(const char* id, std::uint64_t size, const Ds64& ds64) {
  if (SameIdNoCase(id, "data")) {
    return ds64.dataSize;
  }
  for (const auto& [tableId, tableSize] : ds64.table) {
    if (SameIdNoCase(id, tableId.data())) {
      return tableSize;
    }
  }
  return size;
}

// Passes over pad bytes and runs of zero bytes between chunks from `position` on, each counted
// against what the RIFF size leaves (`remaining`, never below 0).
void SkipZeroBytes(I_ByteSource& source, std::uint64_t end, std::uint64_t& position,
                   std::uint64_t& remaining) {
  std::uint8_t byte = 0;
  while (position < end && source.ReadExact(position, &byte, 1) && byte == 0) {
    ++position;
    if (remaining > 0) {
      --remaining;
    }
  }
}

}  // namespace

bool C_RiffFile::Open(I_ByteSource& source, const char formType[4]) {
  m_chunks.Clear();
  m_rf64 = false;
  std::uint8_t header[12];
  if (!source.ReadExact(0, header, sizeof header)) {
    return false;
  }
  const char* tag = reinterpret_cast<const char*>(header);
  if (!SameIdNoCase(tag + 8, formType)) {
    return false;
  }
  m_rf64 =
      SameIdNoCase(formType, "WAVE") && (SameIdNoCase(tag, "RF64") || SameIdNoCase(tag, "BW64"));
  if (!m_rf64 && !SameIdNoCase(tag, "RIFF")) {
    return false;
  }
  std::uint64_t riffSize = GetLE32(header + 4);
  std::uint64_t position = 12;
  Ds64 ds64;
  if (m_rf64) {
    if (!ReadDs64(source, position, ds64, position)) {
      return false;
    }
    if (riffSize == kSizeInDs64) {
      riffSize = ds64.riffSize;
    }
    // The "ds64" chunk already read counts against the form's size.
    const std::uint64_t ds64Bytes = position - 12;
    riffSize = riffSize >= ds64Bytes + 4 ? riffSize - ds64Bytes : 4;
  }
  // What the RIFF size leaves for chunks; a size below 4 leaves nothing.
  std::uint64_t remaining = riffSize >= 4 ? riffSize - 4U : 0U;
  const std::uint64_t end = source.Size();
  std::uint32_t itemId = 1;
  while (true) {
    SkipZeroBytes(source, end, position, remaining);
    std::uint8_t chunkHeader[8];
    if (!source.ReadExact(position, chunkHeader, sizeof chunkHeader)) {
      return true;
    }
    const char* id = reinterpret_cast<const char*>(chunkHeader);
    std::uint64_t size = GetLE32(chunkHeader + 4);
    if (m_rf64 && size == kSizeInDs64) {
      size = SizeFromDs64(id, size, ds64);
    }
    const std::uint64_t dataOffset = position + 8;
    m_chunks.Append(std::make_unique<C_RiffChunk>(itemId++, id, size, dataOffset, &source));
    if (size > end || remaining <= size + 8) {
      return true;  // the last chunk (or one that runs past the end of the file)
    }
    position = dataOffset + size;
    remaining -= size + 8;
  }
}
