#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "LibProject/Audio/WaveFileUtil/CUTime.h"
#include "LibProject/Audio/WaveFileUtil/RefPtr.h"
#include "LibProject/Audio/WaveFileUtil/SampleReader.h"
#include "LibProject/Audio/WaveFileUtil/WavData.h"
#include "LibProject/Audio/WaveFileUtil/codec/AdpcmBlockReader.h"
#include "LibProject/Audio/WaveFileUtil/riff/ByteIO.h"
#include "LibProject/Audio/WaveFileUtil/riff/RiffFile.h"
#include "platform/fs/FileSystem.h"

/// What a file object tells about the file it read.
class I_WavFileInfo : public C_RefCounted {
 public:
  /// The path actually read (the plain temporary copy for a protected file).
  virtual const std::string& GetFileName() const = 0;
  virtual C_CUTime GetFileTime() const = 0;
  /// Size of the file read, bytes; 0xFFFFFFFF when unknown.
  virtual std::uint32_t GetFileSize() const = 0;
  /// 2 once a header was read into a container, else 0.
  virtual std::uint32_t GetFormatType() const = 0;
  /// 3 for Microsoft ADPCM, 6 for IMA ADPCM, else 0.
  virtual std::uint32_t GetCodecType() const = 0;
  /// The container's wave info; null without container.
  virtual I_WavInfo* GetWavInfo() = 0;
};

/// How the samples a file holds compare with the length its header states.
struct C_SourceLength {
  /// Frames the header states; 0 when it states none (a length left open by a streaming
  /// writer, or a stream whose end cannot be found).
  std::uint64_t statedFrames = 0;
  /// True when the samples end before the stated length, or, without one, when the stream
  /// shows it was cut (an Ogg stream without its last page, a decoder stopped by damage).
  bool endsEarly = false;
};

/// Takes the bytes of the output in order; false when they cannot be written.
using SampleBytesWriter = std::function<bool(const std::uint8_t* bytes, std::size_t size)>;

/// Filters the samples of a streamed write (I_WavFile::StreamTo) block by block, in place.
class I_SampleBlockFilter {
 public:
  virtual ~I_SampleBlockFilter() = default;
  /// Bytes of one frame: one sample of every channel.
  virtual std::size_t FrameBytes() const = 0;
  /// Frames the filtered results trail the input by: the room each block needs in front of it.
  virtual std::size_t LagFrames() const = 0;
  /// Filters `frames` new frames at `block` (`final`: no frames follow); returns the frames
  /// this call finished as [first, end) counted from `block`, first down to -LagFrames().
  virtual std::pair<std::ptrdiff_t, std::ptrdiff_t> Filter(std::uint8_t* block, std::size_t frames,
                                                           bool final) = 0;
  /// True when the write is to stop: it then fails and leaves nothing at the output path.
  virtual bool Stopped() const { return false; }
  /// True when a thread of its own may read and write the blocks while the filter runs: a
  /// processor core is left over. Otherwise the writer reads, filters and writes in turn.
  virtual bool SpareThread() const { return false; }
  /// Passes filtered bytes (whole samples, in order) on to `write`; by default as they are. A
  /// filter that looks at what is written, or writes something else, does it here.
  virtual bool Pass(const std::uint8_t* bytes, std::size_t size, const SampleBytesWriter& write) {
    return size == 0 || write(bytes, size);
  }
  /// Called once after the last Pass of a stream that ran to its end: what the filter still
  /// holds goes to `write`.
  virtual bool Finish(const SampleBytesWriter& /*write*/) { return true; }
  /// The samples as written when Pass writes another layout than it is given (another rate,
  /// channel count or encoding): the writers describe the output by it and take OutputBytes
  /// for its size, and a last partial sample of the source is left out. Null: the layout read.
  virtual const I_WavInfo* OutputInfo() const { return nullptr; }
  /// With OutputInfo: the bytes Pass and Finish write in all for `sampleBytes` bytes of
  /// samples read.
  virtual std::uint64_t OutputBytes(std::uint64_t sampleBytes) const { return sampleBytes; }
};

/// A file of some audio format, read into and written from a sample container.
class I_WavFile : public I_WavFileInfo {
 public:
  virtual void SetOwnerWindow(std::uint32_t window) = 0;
  /// Uses `data` without owning it (an owned container is released first).
  virtual void AttachWavData(I_WavData* data) = 0;
  /// Forgets an attached container and returns it; null when owned or absent.
  virtual I_WavData* DetachWavData() = 0;
  /// The container, created empty when there is none.
  virtual I_WavData* GetWavData() = 0;
  /// The container's sample bytes; null without container.
  virtual std::uint8_t* GetBuffer() = 0;
  /// File offset of the sample data.
  virtual std::uint32_t GetDataOffset() const = 0;
  /// Reads the header and chunk list: with `withInfo` 1 into a new container (wave info and
  /// chunk infos, no samples). 1 on success, 0 on failure; an unsupported format raises
  /// std::runtime_error with its message when there is no owner window.
  virtual int ReadHeader(const std::string& path, int withInfo) = 0;
  /// Reads or decodes the samples into the container. 1 on success.
  virtual int LoadSamples(int flag) = 0;
  /// Writes the attached container to `path`. 1 on success; on failure the file at `path` is
  /// as it was.
  virtual int WriteFile(const std::string& path) = 0;
  /// Why the last WriteFile failed, as a short phrase ("no space left on the device"); empty
  /// after a success.
  virtual const std::string& GetWriteError() const = 0;
  /// The load error of a file this class left to the other classes of the registry: a
  /// well-formed file in an encoding this class does not read. Empty otherwise.
  virtual const std::string& GetDeferredLoadError() const = 0;

  /// How the samples compare with the length the header states: known after ReadHeader with
  /// its infos (the containers read through libsndfile measure the stream there).
  virtual C_SourceLength GetSourceLength() const { return {}; }

  /// True when the file, read by ReadHeader with its infos and no samples, can be written with
  /// StreamTo: its samples are stored as they are filtered (PCM or float) or decode to 16-bit
  /// PCM block by block (ADPCM).
  virtual bool CanStream() const { return false; }
  /// Readies a file that CanStream for StreamTo: its wave info then describes the samples as
  /// they are filtered and written, as LoadSamples would leave it. False when it cannot stream.
  virtual bool PrepareStream() { return false; }
  /// The sample data's length in bytes, also beyond 4 GiB.
  virtual std::uint64_t GetDataLength64() const { return 0; }
  /// The bytes of samples StreamTo filters and writes: the data's length, or the decoded
  /// samples' for an encoding decoded on the way.
  virtual std::uint64_t GetSampleBytes64() const { return GetDataLength64(); }
  /// Writes the file to `path` as a file of format type `outputType` (WAVE, or a container
  /// written through libsndfile) is written after LoadSamples, with the samples read a block at
  /// a time and passed through `filter` on their way: the same bytes in a few MiB of memory,
  /// whatever the file's length (in the layout of the filter's OutputInfo when it has one).
  /// 1 on success; on failure (GetWriteError says why) the file at `path` is as it was.
  virtual int StreamTo(const std::string& /*path*/, std::uint32_t /*outputType*/,
                       I_SampleBlockFilter& /*filter*/) {
    return 0;
  }
  /// Reads the samples a block at a time through `filter` as StreamTo does, and writes them
  /// nowhere: the first pass of a conversion that measures what it is going to write. 1 when
  /// every sample went through; 0 otherwise (GetWriteError says why).
  virtual int StreamThrough(I_SampleBlockFilter& /*filter*/) { return 0; }
};

/// RIFF/WAVE files (format type 2): PCM of 1 to 16 bits, Microsoft and IMA ADPCM (decoded to
/// 16-bit PCM), also as protected files. Writes PCM.
class C_WavFile : public I_WavFile {
 public:
  C_WavFile() = default;
  ~C_WavFile() override;

  const std::string& GetFileName() const override { return m_fileName; }
  C_CUTime GetFileTime() const override { return m_fileTime; }
  std::uint32_t GetFileSize() const override { return m_fileSize; }
  std::uint32_t GetFormatType() const override { return m_formatType; }
  std::uint32_t GetCodecType() const override { return m_codecType; }
  I_WavInfo* GetWavInfo() override;
  void SetOwnerWindow(std::uint32_t window) override { m_ownerWindow = window; }
  void AttachWavData(I_WavData* data) override;
  I_WavData* DetachWavData() override;
  I_WavData* GetWavData() override;
  std::uint8_t* GetBuffer() override;
  std::uint32_t GetDataOffset() const override { return static_cast<std::uint32_t>(m_dataOffset); }
  int ReadHeader(const std::string& path, int withInfo) override;
  int LoadSamples(int flag) override;
  int WriteFile(const std::string& path) override;
  const std::string& GetWriteError() const override { return m_writeError; }
  const std::string& GetDeferredLoadError() const override { return m_deferredLoadError; }
  C_SourceLength GetSourceLength() const override;
  bool CanStream() const override;
  bool PrepareStream() override;
  std::uint64_t GetDataLength64() const override { return m_dataLength64; }
  std::uint64_t GetSampleBytes64() const override;
  int StreamTo(const std::string& path, std::uint32_t outputType,
               I_SampleBlockFilter& filter) override;
  int StreamThrough(I_SampleBlockFilter& filter) override;
  /// StreamTo into `sink`, with blocks of at least `blockFrames` frames (tests use small ones).
  int StreamInto(I_ByteSink& sink, I_SampleBlockFilter& filter, std::size_t blockFrames,
                 std::uint64_t rf64Threshold = 0xFFFFFFFFULL);

  /// Reads a WAVE file held in memory (no protected-file handling); the bytes must outlive
  /// LoadSamples. For tests and fuzzing.
  int ReadHeaderFromMemory(std::span<const std::uint8_t> bytes, int withInfo);
  /// Writes the attached container as a WAVE file into `sink`. 1 on success. A file whose
  /// RIFF size would pass `rf64Threshold` (the 32-bit limit; tests lower it) is written as RF64.
  int WriteTo(I_ByteSink& sink, std::uint64_t rf64Threshold = 0xFFFFFFFFULL);

 protected:
  /// The container in use: attached by a caller, or owned.
  I_WavData* Container() const;
  /// Records the size and last-write time of the file read.
  void RecordFileAttributes();
  /// Starts the atomic write of `path`; empty, with the reason in the write error, when the
  /// temporary file cannot be made.
  std::optional<platform::AtomicFile> CreateOutput(const std::string& path);
  /// Writes `path` atomically with `write` (1 = written); on failure the write error says why
  /// and the file at `path` is as it was.
  int WriteAtomically(const std::string& path, const std::function<int(I_ByteSink&)>& write);
  /// The samples of a file readied by PrepareStream, read front to back as they are filtered.
  virtual std::unique_ptr<I_SampleReader> OpenSampleReader();

  std::uint32_t m_ownerWindow = 0;
  std::uint32_t m_formatType = 0;
  std::string m_fileName;
  T_RefPtr<I_WavData> m_ownedData;
  std::string m_writeError;
  std::string m_deferredLoadError;

 private:
  /// What parsing a header found: `ok`, or a load error with its message (an encoding or
  /// sample width this class does not read), which ReadHeader raises or returns as 0.
  struct ParseResult {
    bool ok = false;
    std::string loadError;
    bool foreign = false;  ///< a well-formed file in an encoding other classes may read
  };
  /// One chunk of a file being written: its bytes owned or borrowed from the container.
  struct OutChunk {
    char id[4];
    std::vector<std::uint8_t> owned;
    const std::uint8_t* bytes;
    std::uint32_t size;
  };

  /// The samples of a streamed pass that does not write WAVE itself: the container, its reader
  /// and the bytes of one sample.
  struct StreamSource {
    I_WavData* data = nullptr;
    std::unique_ptr<I_SampleReader> reader;
    std::size_t sampleBytes = 0;
  };

  ParseResult ParseHeader(I_ByteSource& source, int withInfo);
  /// Readies the samples for a pass of `filter`; empty (with the write error set where there is
  /// something to say: `cannotStream` when the samples cannot be streamed) when they cannot be
  /// read or do not have the filter's frame size.
  std::optional<StreamSource> OpenStreamSource(const I_SampleBlockFilter& filter,
                                               const char* cannotStream);
  /// The bytes of the file read: the file again, or the bytes in memory.
  std::unique_ptr<I_ByteSource> OpenDataSource() const;
  /// True when the samples are stored as the filtering pass reads them (PCM of 8 to 32 bits,
  /// 32- or 64-bit float) with no target format to convert them to.
  bool StreamableLayout() const;
  /// Writes the RIFF (or RF64) header and the chunks, the data chunk's `dataSize` bytes by
  /// `writeData`, with the framing WriteTo has always had.
  int WriteFramed(I_ByteSink& sink, const std::vector<OutChunk>& chunks, std::uint64_t dataSize,
                  std::uint64_t frames, std::uint64_t rf64Threshold,
                  const std::function<bool(I_ByteSink&)>& writeData);
  /// Reads the "fmt " chunk into the format fields.
  ParseResult ReadFormat(C_RiffChunk& chunk);
  /// Reads the cue, sampler, list and extra chunks into the container.
  bool ReadChunkInfos(C_RiffChunkList& chunks, I_WavData& data);
  bool ReadAdpcmFormat(C_RiffChunk& fmt);
  /// Raises or returns a load error, records the file's attributes after a success.
  int FinishRead(const ParseResult& parsed);
  int DecodeAdpcm(I_ByteSource& source);
  bool IsAdpcm() const;
  C_AdpcmBlockReader::C_Layout AdpcmLayout() const;
  T_RefPtr<I_WavData> ConvertedForWrite(I_WavData& source);
  /// The chunks to write for `data`, its "fmt " (and "fact") from `format` when given.
  std::vector<OutChunk> CollectChunks(I_WavData& data, const I_WavInfo* format = nullptr);
  void RemoveTempFile();

  std::uint32_t m_codecType = 0;
  std::uint16_t m_formatTag = 0;
  std::optional<platform::TempFile> m_tempFile;
  std::uint64_t m_fmtOffset = 0;
  std::uint64_t m_dataOffset = 0;
  std::uint32_t m_dataLength = 0;
  std::uint64_t m_dataLength64 = 0;    // the data chunk's bytes in the file, also beyond 4 GiB
  std::uint64_t m_statedLength64 = 0;  // the bytes the data chunk's header states
  bool m_streamDecoded = false;        // ADPCM readied for streaming: the info says 16-bit PCM
  I_WavData* m_attachedData = nullptr;
  C_CUTime m_fileTime;
  std::uint32_t m_fileSize = 0xFFFFFFFFU;
  C_WavEncoding m_encoding;

  // The "fmt " fields and, for ADPCM, the checked block layout.
  std::uint16_t m_channels = 0;
  std::uint32_t m_sampleRate = 0;
  std::uint16_t m_bitsPerSample = 0;
  std::uint16_t m_blockAlign = 0;
  std::uint32_t m_samplesPerBlock = 0;
  std::vector<std::int16_t> m_coefs;

  std::span<const std::uint8_t> m_memory;
  bool m_fromMemory = false;
};
