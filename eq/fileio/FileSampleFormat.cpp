#include "eq/fileio/FileSampleFormat.h"

#include "LibProject/Audio/WaveFileUtil/WavInfo.h"

std::optional<SampleFormat> FilterFormatOf(const I_WavInfo& info) {
  const std::uint16_t bits = info.GetBitsPerSample();
  if (bits != info.GetStorageBits()) {
    return std::nullopt;
  }
  const C_WavEncoding& encoding = info.GetEncoding();
  if (encoding.sampleTag == kWaveTagFloat) {
    if (bits == 32 || bits == 64) {
      return SampleFormat{bits == 32 ? SampleEncoding::Float32 : SampleEncoding::Float64, 0};
    }
    return std::nullopt;
  }
  switch (bits) {
    case 8: return SampleFormat{SampleEncoding::Pcm8, encoding.validBits};
    case 16: return SampleFormat{SampleEncoding::Pcm16, encoding.validBits};
    case 24: return SampleFormat{SampleEncoding::Pcm24, encoding.validBits};
    case 32: return SampleFormat{SampleEncoding::Pcm32, encoding.validBits};
    default: return std::nullopt;
  }
}
