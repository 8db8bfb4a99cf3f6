#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "LibProject/Audio/WaveFileUtil/SampleReader.h"
#include "LibProject/Audio/WaveFileUtil/riff/ByteIO.h"

/// Decodes a Microsoft or IMA ADPCM data chunk into 16-bit PCM a group of blocks at a time, so
/// that a streamed conversion holds a few blocks rather than the whole recording. The frames
/// come out in the order and number of a whole-chunk decode: every block in turn, a final
/// partial block giving what its bytes hold.
class C_AdpcmBlockReader final : public I_SampleReader {
 public:
  struct C_Layout {
    bool microsoft = false;  ///< Microsoft ADPCM; IMA otherwise
    std::uint16_t channels = 0;
    std::uint16_t blockAlign = 0;
    std::uint32_t samplesPerBlock = 0;
    std::span<const std::int16_t> coefs;  ///< Microsoft ADPCM's predictor pairs
  };

  /// Reads the `length` bytes at `offset` of `source`; the layout's coefficients must outlive
  /// the reader.
  C_AdpcmBlockReader(std::unique_ptr<I_ByteSource> source, std::uint64_t offset,
                     std::uint64_t length, const C_Layout& layout);

  /// The 16-bit PCM frames of `compressedBytes` bytes of blocks.
  static std::uint64_t DecodedFrames(std::uint64_t compressedBytes, const C_Layout& layout);

  /// Fills `out` with the next `bytes` bytes of decoded samples (host byte order, as the
  /// whole-chunk decode stores them); fewer only at the end of the chunk.
  std::size_t Read(std::uint8_t* out, std::size_t bytes) override;

 private:
  // Reads and decodes the next group of blocks; false at the end of the chunk.
  bool Refill();

  std::unique_ptr<I_ByteSource> m_source;
  std::uint64_t m_offset;
  std::uint64_t m_length;
  C_Layout m_layout;
  std::uint64_t m_consumed = 0;  // compressed bytes decoded so far
  std::vector<std::uint8_t> m_compressed;
  std::vector<std::int16_t> m_decoded;
  std::size_t m_decodedBytes = 0;
  std::size_t m_taken = 0;
};
