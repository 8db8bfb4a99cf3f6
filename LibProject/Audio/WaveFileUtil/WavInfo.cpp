#include "LibProject/Audio/WaveFileUtil/WavInfo.h"

#include <algorithm>
#include <cmath>
#include <iterator>

std::uint64_t C_WavInfo::SampleFrames64() const {
  if (m_storageBits == 0 || m_channels == 0) {
    return 0;
  }
  return (static_cast<std::uint64_t>(m_dataLength) * 8 / m_storageBits) / m_channels;
}

std::uint32_t C_WavInfo::GetSampleFrames() const {
  return static_cast<std::uint32_t>(std::min<std::uint64_t>(SampleFrames64(), 0xFFFFFFFFU));
}

std::uint32_t C_WavInfo::GetDurationMs() const {
  if (m_sampleRate == 0) {
    return 0;
  }
  const double ms =
      static_cast<double>(SampleFrames64()) / static_cast<double>(m_sampleRate) * 1000.0;
  return ms >= 4294967295.0 ? 0xFFFFFFFFU : static_cast<std::uint32_t>(std::trunc(ms));
}

std::uint16_t C_WavInfo::GetBytesPerSample() const {
  return static_cast<std::uint16_t>((m_storageBits + 7) / 8);
}

std::uint16_t C_WavInfo::GetBlockAlign() const {
  return static_cast<std::uint16_t>(m_channels * GetBytesPerSample());
}

std::uint32_t C_WavInfo::GetBytesPerSecond() const {
  return static_cast<std::uint32_t>(m_channels) * m_sampleRate * GetBytesPerSample();
}

void C_WavInfo::CopyFrom(const I_WavInfo& other) {
  SetFormat(other.GetSampleRate(), other.GetDataLength(), other.GetChannels(),
            other.GetBitsPerSample(), other.GetStorageBits(), other.GetSignedFlag());
  m_encoding = other.GetEncoding();
}

void C_WavInfo::SetFormat(std::uint32_t rate, std::uint32_t length, std::uint16_t channels,
                          std::uint16_t bits, std::uint16_t storageBits, std::uint32_t signedFlag) {
  m_sampleRate = rate;
  m_dataLength = length;
  m_channels = channels;
  m_bitsPerSample = bits;
  m_storageBits = storageBits;
  m_signedFlag = signedFlag;
}

void C_WavInfo::GetWaveFormat(std::uint8_t format[16]) const {
  auto put16 = [&](int at, std::uint32_t v) {
    format[at] = static_cast<std::uint8_t>(v);
    format[at + 1] = static_cast<std::uint8_t>(v >> 8);
  };
  auto put32 = [&](int at, std::uint32_t v) {
    put16(at, v);
    put16(at + 2, v >> 16);
  };
  put16(0, 1);
  put16(2, m_channels);
  put32(4, m_sampleRate);
  put32(8, GetBytesPerSecond());
  put16(12, GetBlockAlign());
  put16(14, m_bitsPerSample);
}

std::vector<std::uint8_t> C_WavInfo::BuildFormatChunk() const {
  std::vector<std::uint8_t> chunk(16);
  GetWaveFormat(chunk.data());
  auto put16 = [&chunk](std::size_t at, std::uint32_t v) {
    chunk[at] = static_cast<std::uint8_t>(v);
    chunk[at + 1] = static_cast<std::uint8_t>(v >> 8);
  };
  if (m_encoding.extensible) {
    // The extension: its size (22), the valid bits, the channel mask and the sub-format GUID
    // {0000000X-0000-0010-8000-00AA00389B71}, X being the tag of the samples.
    put16(0, kWaveTagExtensible);
    chunk.resize(40);
    put16(16, 22);
    put16(18, m_encoding.validBits != 0 ? m_encoding.validBits : m_bitsPerSample);
    put16(20, m_encoding.channelMask);
    put16(22, m_encoding.channelMask >> 16);
    static constexpr std::uint8_t kGuidTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                                   0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
    put16(24, m_encoding.sampleTag);
    std::copy(std::begin(kGuidTail), std::end(kGuidTail), chunk.begin() + 26);
  } else if (m_encoding.sampleTag != kWaveTagPcm) {
    // Any tag but plain PCM has the size of its (empty) extension after the 16 bytes.
    put16(0, m_encoding.sampleTag);
    chunk.resize(18);
    put16(16, 0);
  }
  return chunk;
}
