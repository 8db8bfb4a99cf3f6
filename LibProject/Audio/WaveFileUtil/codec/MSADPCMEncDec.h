#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

/// Microsoft ADPCM (WAVE format tag 2) block decoding. A block starts with, per field and then
/// per channel: the predictor index (1 byte), the initial delta
/// (16-bit), the newer and the older sample (16-bit each); then the 4-bit codes, high nibble
/// first, channels alternating.
class C_MSADPCMEncDec {
 public:
  /// Bytes of block header per channel.
  static constexpr std::size_t kHeaderBytesPerChannel = 7;

  /// Samples per channel that `bytes` of a block hold (0 when shorter than its header).
  static std::uint32_t SamplesInBlock(std::size_t bytes, std::uint16_t channels);

  /// Decodes one block into at most `samplesPerChannel` frames of interleaved 16-bit samples,
  /// predicting with the coefficient pairs `coefs` (coef1, coef2, ...). A predictor index
  /// beyond the pairs is clamped to the last pair. Returns the frames written.
  static std::uint32_t DecodeBlock(const std::uint8_t* block, std::size_t bytes,
                                   std::uint16_t channels, std::uint32_t samplesPerChannel,
                                   std::span<const std::int16_t> coefs, std::int16_t* out);
};
