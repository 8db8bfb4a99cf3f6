#pragma once

#include <cstdint>
#include <vector>

/// Format tags of the "fmt " chunk.
inline constexpr std::uint16_t kWaveTagPcm = 1;
inline constexpr std::uint16_t kWaveTagFloat = 3;
inline constexpr std::uint16_t kWaveTagExtensible = 0xFFFE;

/// How the samples of a block are encoded beyond their width and signedness.
struct C_WavEncoding {
  std::uint16_t sampleTag = kWaveTagPcm;  ///< kWaveTagPcm (integers) or kWaveTagFloat
  std::uint16_t validBits = 0;            ///< bits that carry signal; 0: all of the storage
  std::uint32_t channelMask = 0;          ///< speaker positions (extensible files); 0: none
  bool extensible = false;                ///< written as WAVE_FORMAT_EXTENSIBLE

  bool operator==(const C_WavEncoding&) const = default;
};

/// What a block of sample bytes holds.
class I_WavInfo {
 public:
  virtual ~I_WavInfo() = default;
  /// Frames divided by the sample rate, in ms, truncated; 0 without a rate.
  virtual std::uint32_t GetDurationMs() const = 0;
  /// Bytes of sample data.
  virtual std::uint32_t GetDataLength() const = 0;
  /// Frames per second, Hz.
  virtual std::uint32_t GetSampleRate() const = 0;
  /// (data length x 8 / storage bits) / channels; 0 without storage bits or channels.
  virtual std::uint32_t GetSampleFrames() const = 0;
  virtual std::uint16_t GetBitsPerSample() const = 0;
  virtual std::uint16_t GetStorageBits() const = 0;
  virtual std::uint16_t GetChannels() const = 0;
  /// (storage bits + 7) / 8.
  virtual std::uint16_t GetBytesPerSample() const = 0;
  /// channels x bytes per sample.
  virtual std::uint16_t GetBlockAlign() const = 0;
  /// channels x sample rate x bytes per sample.
  virtual std::uint32_t GetBytesPerSecond() const = 0;
  /// 1 when the samples are signed integers, 0 when unsigned.
  virtual std::uint32_t GetSignedFlag() const = 0;
  virtual void SetSampleRate(std::uint32_t rate) = 0;
  virtual void CopyFrom(const I_WavInfo& other) = 0;
  virtual void SetFormat(std::uint32_t rate, std::uint32_t length, std::uint16_t channels,
                         std::uint16_t bits, std::uint16_t storageBits,
                         std::uint32_t signedFlag) = 0;
  /// Fills a 16-byte PCM format block: tag 1, channels, rate, bytes per second, block align,
  /// bits per sample.
  virtual void GetWaveFormat(std::uint8_t format[16]) const = 0;
  /// The encoding beyond width and signedness (integer PCM by default).
  virtual const C_WavEncoding& GetEncoding() const = 0;
  virtual void SetEncoding(const C_WavEncoding& encoding) = 0;
  /// The "fmt " chunk that describes these samples: 16 bytes for integer PCM (as
  /// GetWaveFormat), 18 for floating point (tag 3, no extension), 40 for an extensible file
  /// (valid bits, channel mask and the PCM or float sub-format).
  virtual std::vector<std::uint8_t> BuildFormatChunk() const = 0;
};

/// The wave info record.
class C_WavInfo final : public I_WavInfo {
 public:
  std::uint32_t GetDurationMs() const override;
  std::uint32_t GetDataLength() const override { return m_dataLength; }
  std::uint32_t GetSampleRate() const override { return m_sampleRate; }
  std::uint32_t GetSampleFrames() const override;
  std::uint16_t GetBitsPerSample() const override { return m_bitsPerSample; }
  std::uint16_t GetStorageBits() const override { return m_storageBits; }
  std::uint16_t GetChannels() const override { return m_channels; }
  std::uint16_t GetBytesPerSample() const override;
  std::uint16_t GetBlockAlign() const override;
  std::uint32_t GetBytesPerSecond() const override;
  std::uint32_t GetSignedFlag() const override { return m_signedFlag; }
  void SetSampleRate(std::uint32_t rate) override { m_sampleRate = rate; }
  void CopyFrom(const I_WavInfo& other) override;
  void SetFormat(std::uint32_t rate, std::uint32_t length, std::uint16_t channels,
                 std::uint16_t bits, std::uint16_t storageBits, std::uint32_t signedFlag) override;
  void GetWaveFormat(std::uint8_t format[16]) const override;
  const C_WavEncoding& GetEncoding() const override { return m_encoding; }
  void SetEncoding(const C_WavEncoding& encoding) override { m_encoding = encoding; }
  std::vector<std::uint8_t> BuildFormatChunk() const override;

  /// The frame count in 64 bits: data of 512 MiB and more would wrap in 32.
  std::uint64_t SampleFrames64() const;

 private:
  std::uint32_t m_signedFlag = 1;
  std::uint32_t m_sampleRate = 0;
  std::uint32_t m_dataLength = 0;
  std::uint16_t m_channels = 0;
  std::uint16_t m_bitsPerSample = 0;
  std::uint16_t m_storageBits = 0;
  C_WavEncoding m_encoding;
};
