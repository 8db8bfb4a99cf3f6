#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "LibProject/Audio/WaveFileUtil/riff/ByteIO.h"

/// One chunk of a RIFF file: its id, stated size and where its data starts. The data is read
/// on first use, and only the bytes the source really holds: a chunk whose stated size runs
/// past the end of the file yields what is there.
class C_RiffChunk {
 public:
  C_RiffChunk(std::uint32_t itemId, const char id[4], std::uint64_t size, std::uint64_t offset,
              I_ByteSource* source);

  std::uint32_t ItemId() const { return m_itemId; }
  const char* Id() const { return m_id; }
  bool IsId(const char* id) const;
  /// The size stated in the chunk header (or, in an RF64 file, in its "ds64" chunk).
  std::uint64_t Size() const { return m_size; }
  /// File offset of the chunk data.
  std::uint64_t Offset() const { return m_offset; }
  /// Bytes of the chunk really present in the source (at most Size()).
  std::uint64_t AvailableSize() const;

  /// Copies up to `length` bytes from `offset` within the chunk into `buffer`; returns the
  /// number copied (0 when the chunk is empty or cannot be read).
  std::size_t Read(void* buffer, std::size_t length, std::size_t offset);

  /// The chunk data present in the source, read on first use.
  const std::vector<std::uint8_t>& Data();

  /// Replaces the chunk data (for chunks built for writing).
  void SetData(std::vector<std::uint8_t> bytes);

 private:
  std::uint32_t m_itemId;
  char m_id[4];
  std::uint64_t m_size;
  std::uint64_t m_offset;
  I_ByteSource* m_source;
  std::vector<std::uint8_t> m_data;
  bool m_loaded = false;
};

/// The chunks of a RIFF file, in file order.
class C_RiffChunkList {
 public:
  void Clear() { m_chunks.clear(); }
  void Append(std::unique_ptr<C_RiffChunk> chunk) { m_chunks.push_back(std::move(chunk)); }
  std::size_t Count() const { return m_chunks.size(); }
  C_RiffChunk& At(std::size_t index) { return *m_chunks[index]; }

 private:
  std::vector<std::unique_ptr<C_RiffChunk>> m_chunks;
};

/// Reads the chunk list of a RIFF container.
class C_RiffFile {
 public:
  /// Parses the source as a RIFF container of form type `formType` (compared without regard to
  /// case, as is the "RIFF" tag). Walks the chunks, skipping runs of zero (pad) bytes between
  /// them. False when the header is missing or of another form type.
  ///
  /// A "WAVE" form may also come as RF64 or BW64 (the broadcast forms for files beyond 4 GiB):
  /// their first chunk "ds64" holds the 64-bit sizes that replace the 32-bit fields set to
  /// 0xFFFFFFFF (the form's size, the "data" chunk's, and others from its table). Such a file
  /// without a valid "ds64" chunk is refused.
  bool Open(I_ByteSource& source, const char formType[4]);

  C_RiffChunkList& Chunks() { return m_chunks; }
  /// True for an RF64 or BW64 file.
  bool IsRf64() const { return m_rf64; }

 private:
  C_RiffChunkList m_chunks;
  bool m_rf64 = false;
};
