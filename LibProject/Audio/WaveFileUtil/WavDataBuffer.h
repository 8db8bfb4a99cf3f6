#pragma once

#include <cstdint>
#include <memory>

#include "LibProject/Audio/WaveFileUtil/WavInfo.h"
#include "platform/process/LargeBlock.h"

/// Sample access to a container's byte block.
class I_WavDataBuffer {
 public:
  virtual ~I_WavDataBuffer() = default;
  /// The sample at (frame, channel) as a signed value; 0 outside the block.
  virtual std::int32_t GetSample(std::uint32_t frame, std::uint16_t channel) const = 0;
  /// Stores a signed value at (frame, channel); nothing outside the block.
  virtual void SetSample(std::uint32_t frame, std::int32_t value, std::uint16_t channel) = 0;
  /// The largest absolute sample over frames [first, end) and channels first..last; -1 when
  /// the range lies outside the block, 0 when it is empty.
  virtual std::int32_t GetPeak(std::uint32_t firstFrame, std::uint32_t endFrame,
                               std::uint16_t firstChannel, std::uint16_t lastChannel) const = 0;
};

/// The sample block of a container: the frames one after another, the channels of a frame
/// interleaved, each sample little-endian in storage-bits width. Owned, or borrowed from a
/// caller.
class C_WavDataBuffer final : public I_WavDataBuffer {
 public:
  explicit C_WavDataBuffer(const C_WavInfo& info) : m_info(info) {}

  std::int32_t GetSample(std::uint32_t frame, std::uint16_t channel) const override;
  void SetSample(std::uint32_t frame, std::int32_t value, std::uint16_t channel) override;
  std::int32_t GetPeak(std::uint32_t firstFrame, std::uint32_t endFrame, std::uint16_t firstChannel,
                       std::uint16_t lastChannel) const override;

  std::uint8_t* Bytes() { return m_borrowed != nullptr ? m_borrowed : m_owned.get(); }
  const std::uint8_t* Bytes() const { return m_borrowed != nullptr ? m_borrowed : m_owned.get(); }
  /// Bytes in the block.
  std::size_t Size() const { return m_borrowed != nullptr ? m_borrowedSize : m_ownedSize; }
  bool IsBorrowed() const { return m_borrowed != nullptr; }

  /// Replaces the block with `size` bytes of its own, not initialised: the caller fills them
  /// (so that a long file's samples are written into memory once, by the read).
  std::uint8_t* Allocate(std::size_t size);
  /// Replaces the block with a copy of `bytes`.
  void Assign(const std::uint8_t* bytes, std::size_t size);
  /// Uses a caller's bytes without owning them.
  void Attach(std::uint8_t* bytes, std::size_t size);
  /// Forgets borrowed bytes and returns them; null when the block is owned.
  std::uint8_t* Detach();
  /// Refreshes the value ranges from the wave info.
  void Refresh();

 private:
  bool Locate(std::uint32_t frame, std::uint16_t channel, std::size_t& at) const;

  const C_WavInfo& m_info;
  platform::LargeBlock m_owned;
  std::size_t m_ownedSize = 0;
  std::uint8_t* m_borrowed = nullptr;
  std::size_t m_borrowedSize = 0;
  std::uint32_t m_halfRange = 0;
  std::int32_t m_minimum = 0;
  std::uint32_t m_fullRange = 0;
  std::uint16_t m_storageBits = 0;
  std::uint32_t m_signedFlag = 1;
};
