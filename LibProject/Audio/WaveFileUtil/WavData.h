#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "LibProject/Audio/WaveFileUtil/ActionEventMgr.h"
#include "LibProject/Audio/WaveFileUtil/RefPtr.h"
#include "LibProject/Audio/WaveFileUtil/WavDataBuffer.h"
#include "LibProject/Audio/WaveFileUtil/WavDataCueInfo.h"
#include "LibProject/Audio/WaveFileUtil/WavDataExtraChunkInfo.h"
#include "LibProject/Audio/WaveFileUtil/WavDataListInfo.h"
#include "LibProject/Audio/WaveFileUtil/WavDataSamplerInfo.h"
#include "LibProject/Audio/WaveFileUtil/WavInfo.h"

/// A stretch of samples: start and length.
struct C_SilenceSegment {
  std::uint32_t start = 0;
  std::uint32_t length = 0;
};

/// How a container is to be written: an optional target sample format.
class C_WriteWavParam {
 public:
  virtual ~C_WriteWavParam() = default;
  std::uint16_t targetBits = 0;
  std::uint16_t targetStorageBits = 0;
  std::uint32_t targetSignedFlag = 0;
  std::uint32_t hasTarget = 0;  ///< 1: write in the target format
  std::uint16_t options[3] = {100, 100, 100};
  /// The bitrate a lossy encoder aims at, bits per second (a lossy source's own); 0: the
  /// encoder's highest quality.
  std::uint32_t lossyBitrate = 0;
};

/// Chunk-info kinds of GetChunkInfo.
inline constexpr std::uint32_t kChunkInfoCue = 1;
inline constexpr std::uint32_t kChunkInfoText = 2;
inline constexpr std::uint32_t kChunkInfoSampler = 3;
inline constexpr std::uint32_t kChunkInfoList = 4;
inline constexpr std::uint32_t kChunkInfoExtra = 5;

/// One piece of audio in memory: the sample bytes, their wave info, the RIFF chunk infos read
/// from or to be written to a file, the events derived from labels, and write parameters.
class I_WavData : public C_RefCounted {
 public:
  virtual I_WavInfo* GetWavInfo() = 0;
  /// The sample bytes (null when there are none).
  virtual std::uint8_t* GetBuffer() = 0;
  virtual std::uint32_t GetDataLength() = 0;
  virtual void SetWavInfo(const I_WavInfo& info) = 0;
  virtual void SetFormat(std::uint32_t rate, std::uint32_t length, std::uint16_t channels,
                         std::uint16_t bits, std::uint16_t storageBits,
                         std::uint32_t signedFlag) = 0;
  /// Copies the other container's bytes, wave info, chunk infos and events; 0 when this block
  /// is borrowed.
  virtual int CopyFrom(I_WavData& other) = 0;
  /// Replaces the block with n bytes of its own (not initialised: the caller fills them) and
  /// sets the data length to n.
  virtual std::uint8_t* AllocateBuffer(std::uint32_t n) = 0;
  virtual int SetBufferCopy(const std::uint8_t* bytes, std::uint32_t n) = 0;
  /// Converts the samples in place to the given format; 1 at once when it already matches.
  virtual int ConvertFormat(std::uint16_t bits, std::uint16_t storageBits,
                            std::uint32_t signedFlag) = 0;
  virtual T_RefPtr<I_WavData> Clone() = 0;
  /// A new container with the samples in the given format; null when it cannot be made.
  virtual T_RefPtr<I_WavData> CreateConvertedCopy(std::uint16_t bits, std::uint16_t storageBits,
                                                  std::uint32_t signedFlag) = 0;
  virtual C_WriteWavParam& GetWriteParam() = 0;
  /// Writes the container as a file of `formatType` at `path`: 1 when written, else 0.
  virtual int SaveAs(std::uint32_t formatType, const std::string& path) = 0;
  /// Why the last SaveAs failed, as a short phrase; empty after a success.
  virtual const std::string& GetSaveError() const = 0;
  virtual C_ActionEventMgr& GetEventMgr() = 0;
  virtual void AttachBuffer(std::uint8_t* bytes, std::uint32_t n) = 0;
  virtual std::uint8_t* DetachBuffer() = 0;
  virtual C_WavDataBuffer& GetSampleBuffer() = 0;
  virtual std::vector<C_SilenceSegment>& GetSegmentList() = 0;
  /// The chunk info of `kind` (kChunkInfoCue ... kChunkInfoExtra) in `out`: 1, or 0 with a
  /// null `out` for another kind.
  virtual int GetChunkInfo(std::uint32_t kind, void** out) = 0;

  virtual C_WavDataCueInfo& CueInfo() = 0;
  virtual C_WavDataSamplerInfo& SamplerInfo() = 0;
  virtual C_WavDataListInfo& ListInfo() = 0;
  virtual C_WavDataExtraChunkInfo& ExtraChunkInfo() = 0;
  virtual C_WavDataTextInfo& TextInfo() = 0;
  virtual std::uint32_t OwnerWindow() const = 0;
};

/// The sample container.
class C_WavData final : public I_WavData {
 public:
  explicit C_WavData(std::uint32_t ownerWindow = 0) : m_ownerWindow(ownerWindow) {}

  I_WavInfo* GetWavInfo() override { return &m_info; }
  std::uint8_t* GetBuffer() override;
  std::uint32_t GetDataLength() override { return m_info.GetDataLength(); }
  void SetWavInfo(const I_WavInfo& info) override;
  void SetFormat(std::uint32_t rate, std::uint32_t length, std::uint16_t channels,
                 std::uint16_t bits, std::uint16_t storageBits, std::uint32_t signedFlag) override;
  int CopyFrom(I_WavData& other) override;
  std::uint8_t* AllocateBuffer(std::uint32_t n) override;
  int SetBufferCopy(const std::uint8_t* bytes, std::uint32_t n) override;
  int ConvertFormat(std::uint16_t bits, std::uint16_t storageBits,
                    std::uint32_t signedFlag) override;
  T_RefPtr<I_WavData> Clone() override;
  T_RefPtr<I_WavData> CreateConvertedCopy(std::uint16_t bits, std::uint16_t storageBits,
                                          std::uint32_t signedFlag) override;
  C_WriteWavParam& GetWriteParam() override { return m_writeParam; }
  int SaveAs(std::uint32_t formatType, const std::string& path) override;
  const std::string& GetSaveError() const override { return m_saveError; }
  C_ActionEventMgr& GetEventMgr() override { return m_events; }
  void AttachBuffer(std::uint8_t* bytes, std::uint32_t n) override;
  std::uint8_t* DetachBuffer() override;
  C_WavDataBuffer& GetSampleBuffer() override { return m_buffer; }
  std::vector<C_SilenceSegment>& GetSegmentList() override { return m_segments; }
  int GetChunkInfo(std::uint32_t kind, void** out) override;
  C_WavDataCueInfo& CueInfo() override { return m_cueInfo; }
  C_WavDataSamplerInfo& SamplerInfo() override { return m_samplerInfo; }
  C_WavDataListInfo& ListInfo() override { return m_listInfo; }
  C_WavDataExtraChunkInfo& ExtraChunkInfo() override { return m_extraInfo; }
  C_WavDataTextInfo& TextInfo() override { return m_textInfo; }
  std::uint32_t OwnerWindow() const override { return m_ownerWindow; }

 private:
  void FormatChanged();

  C_WavInfo m_info;
  C_WavDataBuffer m_buffer{m_info};
  C_ActionEventMgr m_events;
  C_WriteWavParam m_writeParam;
  std::vector<C_SilenceSegment> m_segments;
  C_WavDataCueInfo m_cueInfo;
  C_WavDataTextInfo m_textInfo;
  C_WavDataSamplerInfo m_samplerInfo;
  C_WavDataListInfo m_listInfo;
  C_WavDataExtraChunkInfo m_extraInfo;
  std::uint32_t m_ownerWindow = 0;
  std::string m_saveError;
};

/// Moves the markers of `data` (cue points, sampler loops, labelled texts' lengths) from
/// `fromRate` Hz to the same instants at `toRate` Hz, for an output written at another rate.
void RescaleMarkers(I_WavData& data, std::uint32_t fromRate, std::uint32_t toRate);
