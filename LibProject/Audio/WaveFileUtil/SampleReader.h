#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <utility>

#include "LibProject/Audio/WaveFileUtil/riff/ByteIO.h"

/// A file's samples read front to back in the layout the filters take, for a streamed
/// conversion.
class I_SampleReader {
 public:
  virtual ~I_SampleReader() = default;
  /// Fills `out` with the next `bytes` bytes of samples; fewer only at their end.
  virtual std::size_t Read(std::uint8_t* out, std::size_t bytes) = 0;
  /// True when the samples ended before the length the file states (a damaged file).
  virtual bool EndedEarly() const { return false; }
};

/// Samples stored as they are filtered: `length` bytes at `offset` of `source`.
class C_StoredSampleReader final : public I_SampleReader {
 public:
  C_StoredSampleReader(std::unique_ptr<I_ByteSource> source, std::uint64_t offset,
                       std::uint64_t length)
      : m_source(std::move(source)), m_offset(offset), m_length(length) {}

  std::size_t Read(std::uint8_t* out, std::size_t bytes) override {
    const std::size_t want =
        static_cast<std::size_t>(std::min<std::uint64_t>(bytes, m_length - m_position));
    const std::size_t got = want == 0 ? 0 : m_source->ReadAt(m_offset + m_position, out, want);
    m_position += got;
    return got;
  }

 private:
  std::unique_ptr<I_ByteSource> m_source;
  std::uint64_t m_offset;
  std::uint64_t m_length;
  std::uint64_t m_position = 0;
};
