#pragma once

#include <cstddef>
#include <cstdint>

/// IMA/DVI ADPCM (WAVE format tag 17) block decoding. A block starts with a 4-byte header per
/// channel (the first sample, 16-bit; the step index; a reserved byte), followed by the 4-bit
/// codes in groups of four bytes per channel, low nibble first.
class C_DVIADPCMCodec {
 public:
  /// Bytes of block header per channel.
  static constexpr std::size_t kHeaderBytesPerChannel = 4;

  /// Samples per channel that `bytes` of a block hold (0 when shorter than its header).
  static std::uint32_t SamplesInBlock(std::size_t bytes, std::uint16_t channels);

  /// Decodes one block of `bytes` bytes into at most `samplesPerChannel` frames of interleaved
  /// 16-bit samples at `out`. A step index beyond the table in a header is clamped to the
  /// table's end. Returns the frames written.
  static std::uint32_t DecodeBlock(const std::uint8_t* block, std::size_t bytes,
                                   std::uint16_t channels, std::uint32_t samplesPerChannel,
                                   std::int16_t* out);
};
