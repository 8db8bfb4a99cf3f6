#include "LibProject/Audio/WaveFileUtil/WavDataBuffer.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

void C_WavDataBuffer::Refresh() {
  const unsigned bits = std::clamp<unsigned>(m_info.GetBitsPerSample(), 1, 32);
  m_halfRange = 1U << (bits - 1);
  m_minimum = -static_cast<std::int32_t>(m_halfRange - 1) - 1;
  m_fullRange = bits >= 32 ? 0xFFFFFFFFU : (1U << bits) - 1;
  m_storageBits = m_info.GetStorageBits();
  m_signedFlag = m_info.GetSignedFlag();
}

std::uint8_t* C_WavDataBuffer::Allocate(std::size_t size) {
  m_borrowed = nullptr;
  m_borrowedSize = 0;
  m_owned = platform::AllocateLargeBlock(size);
  m_ownedSize = size;
  return m_owned.get();
}

void C_WavDataBuffer::Assign(const std::uint8_t* bytes, std::size_t size) {
  Allocate(size);
  if (size > 0) {
    std::memcpy(m_owned.get(), bytes, size);
  }
}

void C_WavDataBuffer::Attach(std::uint8_t* bytes, std::size_t size) {
  m_owned.reset();
  m_ownedSize = 0;
  m_borrowed = bytes;
  m_borrowedSize = size;
}

std::uint8_t* C_WavDataBuffer::Detach() {
  std::uint8_t* bytes = m_borrowed;
  m_borrowed = nullptr;
  m_borrowedSize = 0;
  return bytes;
}

bool C_WavDataBuffer::Locate(std::uint32_t frame, std::uint16_t channel, std::size_t& at) const {
  const std::size_t width = m_storageBits / 8U;
  if (width < 1 || width > 4) {
    return false;
  }
  const std::uint64_t index = static_cast<std::uint64_t>(m_info.GetChannels()) * frame + channel;
  const std::uint64_t byte = index * width;
  if (byte + width > Size()) {
    return false;
  }
  at = static_cast<std::size_t>(byte);
  return true;
}

std::int32_t C_WavDataBuffer::GetSample(std::uint32_t frame, std::uint16_t channel) const {
  std::size_t at = 0;
  if (!Locate(frame, channel, at)) {
    return 0;
  }
  const std::uint8_t* p = Bytes() + at;
  std::uint32_t raw = 0;
  for (std::size_t i = 0; i < m_storageBits / 8U; ++i) {
    raw |= static_cast<std::uint32_t>(p[i]) << (8 * i);
  }
  if (m_signedFlag == 0) {
    return static_cast<std::int32_t>(static_cast<std::int64_t>(raw) - m_halfRange);
  }
  if ((raw & m_halfRange) != 0) {
    raw |= static_cast<std::uint32_t>(m_minimum);
  }
  return static_cast<std::int32_t>(raw);
}

void C_WavDataBuffer::SetSample(std::uint32_t frame, std::int32_t value, std::uint16_t channel) {
  std::size_t at = 0;
  if (!Locate(frame, channel, at)) {
    return;
  }
  const std::uint32_t raw = m_signedFlag != 0 ? static_cast<std::uint32_t>(value) & m_fullRange
                                              : static_cast<std::uint32_t>(value) + m_halfRange;
  std::uint8_t* p = Bytes() + at;
  const std::size_t width = m_storageBits / 8U;
  for (std::size_t i = 0; i < width; ++i) {
    p[i] = static_cast<std::uint8_t>(raw >> (8 * i));
  }
}

std::int32_t C_WavDataBuffer::GetPeak(std::uint32_t firstFrame, std::uint32_t endFrame,
                                      std::uint16_t firstChannel, std::uint16_t lastChannel) const {
  if (endFrame >= m_info.GetSampleFrames() || lastChannel >= m_info.GetChannels()) {
    return -1;
  }
  if (firstFrame >= endFrame) {
    return 0;
  }
  std::int64_t peak = 0;
  for (std::uint32_t frame = firstFrame; frame < endFrame; ++frame) {
    for (std::uint32_t channel = firstChannel; channel <= lastChannel; ++channel) {
      peak = std::max<std::int64_t>(
          peak, std::llabs(GetSample(frame, static_cast<std::uint16_t>(channel))));
    }
  }
  return static_cast<std::int32_t>(std::min<std::int64_t>(peak, 0x7FFFFFFF));
}
