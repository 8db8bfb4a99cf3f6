#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>

#include "LibProject/Audio/WaveFileUtil/StreamPipeline.h"
#include "LibProject/Audio/WaveFileUtil/WavFile.h"
#include "LibProject/Audio/WaveFileUtil/riff/ByteIO.h"

// Format type ids of the containers read and written through libsndfile (ids the library's
// own classes leave free).
inline constexpr std::uint32_t kFormatTypeFlac = 201;
inline constexpr std::uint32_t kFormatTypeOggVorbis = 202;
inline constexpr std::uint32_t kFormatTypeOpus = 203;
inline constexpr std::uint32_t kFormatTypeMp3 = 204;
inline constexpr std::uint32_t kFormatTypeAiff = 205;
inline constexpr std::uint32_t kFormatTypeCaf = 206;
inline constexpr std::uint32_t kFormatTypeW64 = 207;
inline constexpr std::uint32_t kFormatTypeAu = 208;
/// A WAVE file in an encoding only libsndfile reads (mu-law, A-law, GSM 6.10, ...).
inline constexpr std::uint32_t kFormatTypeSndWav = 209;

/// True for the format types of the libsndfile class.
constexpr bool IsSndFileType(std::uint32_t type) {
  return type >= kFormatTypeFlac && type <= kFormatTypeSndWav;
}

/// True when this build has the libsndfile class (there is no Windows build of libsndfile).
bool SndFileAvailable();

/// The everyday audio containers other than WAVE (FLAC, Ogg Vorbis, Opus, MP3, AIFF, CAF, W64,
/// AU) and WAVE files of encodings the WAVE class does not read, read and written through
/// libsndfile. Detected by content. The samples are loaded into the container in the nearest
/// layout the filters take: PCM of 8, 16, 24 or 32 bits as such, floating point as such, other
/// lossless codecs as 16-bit PCM, lossy ones as 32-bit float. What libsndfile is asked for is
/// bounded by the file's size first: channel and frame counts it reports are checked against it
/// before any buffer is sized.
///
/// The stream is measured when the header is read: the frames a header states are taken when
/// the decoder finds them all there and, for FLAC, nothing after them; otherwise the stream is
/// decoded once to count what it holds. The container then describes the samples really there.
/// Streamed (StreamTo) the same way. Written (SaveAs with
/// one of the ids above) in that container at the nearest encoding it holds, with the text tags
/// kept, through the same atomic temporary file as the WAVE writer; a container that cannot hold
/// the samples' rate or channel count fails with the reason.
class C_SndFile final : public C_WavFile {
 public:
  /// `formatType` is the container a write makes; 0 for an object that reads. A reading object
  /// takes WAVE files (RIFF, RF64) only with `acceptWave`: the registry hands it those the WAVE
  /// class left to the others for their encoding, never those it refused as malformed.
  explicit C_SndFile(std::uint32_t formatType = 0, bool acceptWave = true);
  ~C_SndFile() override;

  std::uint32_t GetCodecType() const override { return 0; }
  std::uint32_t GetDataOffset() const override { return 0; }
  int ReadHeader(const std::string& path, int withInfo) override;
  int LoadSamples(int flag) override;
  bool CanStream() const override;
  bool PrepareStream() override;
  C_SourceLength GetSourceLength() const override;
  std::uint64_t GetSampleBytes64() const override;
  int WriteFile(const std::string& path) override;

  /// Reads a file held in memory; the bytes must outlive LoadSamples. For tests and fuzzing.
  int ReadHeaderFromMemory(std::span<const std::uint8_t> bytes, int withInfo);

 private:
  struct Handle;

  int Open(std::unique_ptr<I_ByteSource> source, int withInfo);
  void Close();
  std::unique_ptr<I_SampleReader> OpenSampleReader() override;

  std::unique_ptr<Handle> m_handle;
  bool m_acceptWave = true;
  bool m_measured = false;  // ReadHeader measured the stream and described it in the container
  C_SourceLength m_length;
};

/// Writes a file of format type `type` (one of the ids above) at `path`, atomically: the rate,
/// channels, layout and text tags of `data` (the rate, channels and layout of `format` when
/// given), and the samples, in that layout, that `produce` passes to the writer it is given.
/// 1 on success; otherwise 0 with the reason in `error`.
int WriteSndFileSamples(std::uint32_t type, const std::string& path, I_WavData& data,
                        const std::function<bool(const SampleBytesWriter&)>& produce,
                        std::string& error, const I_WavInfo* format = nullptr);

/// Why a container of `type` (one of the ids above) cannot hold samples of the rate, channel
/// count and layout `info` describes, in words ("an Opus file holds only the sample rates ...");
/// empty when it holds them, also at the nearest encoding it has. In a build without libsndfile
/// every such container is refused.
std::string SndFileCannotHold(std::uint32_t type, const I_WavInfo& info);
