// Writing a container as a WAVE file: the chunks to write, the RIFF or RF64 header and the
// atomic write to a path.
#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>

#include "LibProject/Audio/WaveFileUtil/StreamPipeline.h"
#include "LibProject/Audio/WaveFileUtil/WavFile.h"
#include "LibProject/Audio/WaveFileUtil/WavFileFormat.h"
#include "LibProject/Audio/WaveFileUtil/riff/ByteIO.h"
#include "LibProject/Audio/WaveFileUtil/sndfile/SndFile.h"
#include "platform/fs/AtomicFile.h"
#include "platform/fs/FileError.h"

namespace {

// Size of the "ds64" chunk an RF64 file gets: three 64-bit sizes and an empty table.
constexpr std::uint32_t kDs64Bytes = 28;

// Why a streamed write failed whose source gave fewer samples than it states.
constexpr const char* kEndedEarly = "the source file ends before the length it states";

}  // namespace

std::optional<platform::AtomicFile> C_WavFile::CreateOutput(const std::string& path) {
  return CreateAtomicOutput(path, m_writeError);
}

int C_WavFile::WriteAtomically(const std::string& path,
                               const std::function<int(I_ByteSink&)>& write) {
  m_writeError.clear();
  auto file = CreateOutput(path);
  if (!file) {
    return 0;
  }
  C_AtomicFileSink sink(*file);
  if (write(sink) == 0) {
    m_writeError = file->ErrorNumber() != 0 ? platform::DescribeFileError(file->ErrorNumber())
                   : m_writeError.empty()
                       ? std::string("the samples cannot be written as a wave file")
                       : m_writeError;
    return 0;
  }
  // Atomic against an interrupted or failed write; like other audio tools the write does not
  // wait for the disk, which would cost more than the filtering of a long file.
  if (!file->Commit(false)) {
    m_writeError = platform::DescribeFileError(file->ErrorNumber());
    return 0;
  }
  return 1;
}

int C_WavFile::WriteFile(const std::string& path) {
  return WriteAtomically(path, [this](I_ByteSink& sink) { return WriteTo(sink); });
}

T_RefPtr<I_WavData> C_WavFile::ConvertedForWrite(I_WavData& source) {
  // A copy in the requested sample format, or 12-bit data as 16-bit; null when the container
  // is written as it is (or the copy cannot be made: then `m_writeError` says so).
  const C_WriteWavParam& param = source.GetWriteParam();
  const I_WavInfo& info = *source.GetWavInfo();
  T_RefPtr<I_WavData> converted;
  if (param.hasTarget != 0) {
    if (param.targetBits == info.GetBitsPerSample() &&
        param.targetStorageBits == info.GetStorageBits() &&
        param.targetSignedFlag == info.GetSignedFlag()) {
      return converted;
    }
    converted = source.CreateConvertedCopy(param.targetBits, param.targetStorageBits,
                                           param.targetSignedFlag);
  } else if (info.GetBitsPerSample() == 12) {
    converted = source.CreateConvertedCopy(16, 16, 1);
  } else {
    return converted;
  }
  if (!converted) {
    m_writeError = "the samples cannot be converted to the format asked for";
  }
  return converted;
}

std::vector<C_WavFile::OutChunk> C_WavFile::CollectChunks(I_WavData& data,
                                                          const I_WavInfo* format) {
  std::vector<OutChunk> chunks;
  auto add = [&chunks](const char* id, std::vector<std::uint8_t> bytes) {
    OutChunk chunk{{id[0], id[1], id[2], id[3]}, std::move(bytes), nullptr, 0};
    chunk.bytes = chunk.owned.data();
    chunk.size = static_cast<std::uint32_t>(chunk.owned.size());
    chunks.push_back(std::move(chunk));
  };
  const I_WavInfo& info = format != nullptr ? *format : *data.GetWavInfo();
  add("fmt ", info.BuildFormatChunk());
  if (info.GetEncoding().sampleTag != kWaveTagPcm) {
    // Every encoding but integer PCM states its frame count in a "fact" chunk.
    std::vector<std::uint8_t> frames;
    PutLE32(frames, info.GetSampleFrames());
    add("fact", std::move(frames));
  }
  chunks.push_back(
      OutChunk{{'d', 'a', 't', 'a'}, {}, data.GetSampleBuffer().Bytes(), info.GetDataLength()});
  if (!data.CueInfo().Points().empty()) {
    add("cue ", data.CueInfo().Render());
  }
  if (!data.SamplerInfo().Loops().empty()) {
    add("smpl", data.SamplerInfo().Render());
  }
  if (data.ListInfo().NeedsChunk()) {
    add("LIST", data.ListInfo().Render());
  }
  for (const C_WavDataExtraChunkInfo::C_Chunk& extra : data.ExtraChunkInfo().Chunks()) {
    if (!extra.bytes.empty()) {
      add(extra.id, extra.bytes);
    }
  }
  return chunks;
}

int C_WavFile::WriteTo(I_ByteSink& sink, std::uint64_t rf64Threshold) {
  m_writeError.clear();
  I_WavData* source = Container();
  if (source == nullptr || source->GetWavInfo() == nullptr) {
    return 0;
  }
  T_RefPtr<I_WavData> converted = ConvertedForWrite(*source);
  if (!m_writeError.empty()) {
    return 0;
  }
  I_WavData& data = converted ? *converted : *source;
  // The labels of events and silence regions are rebuilt from them; the others stay as read.
  data.GetEventMgr().WriteLabels(data.ListInfo(), data.CueInfo());
  if (data.GetSampleBuffer().Size() < data.GetWavInfo()->GetDataLength()) {
    return 0;  // the container does not hold the samples it describes
  }
  const std::vector<OutChunk> chunks = CollectChunks(data);
  const std::uint8_t* bytes = data.GetSampleBuffer().Bytes();
  const std::uint32_t size = data.GetWavInfo()->GetDataLength();
  return WriteFramed(
      sink, chunks, size, data.GetWavInfo()->GetSampleFrames(), rf64Threshold,
      [bytes, size](I_ByteSink& out) { return size == 0 || out.Write(bytes, size); });
}

int C_WavFile::WriteFramed(I_ByteSink& sink, const std::vector<OutChunk>& chunks,
                           std::uint64_t dataSize, std::uint64_t frames,
                           std::uint64_t rf64Threshold,
                           const std::function<bool(I_ByteSink&)>& writeData) {
  auto isData = [](const OutChunk& chunk) { return std::memcmp(chunk.id, "data", 4) == 0; };
  std::uint64_t riffSize = 4;
  for (const OutChunk& chunk : chunks) {
    // A chunk of odd size is followed by a pad byte, which the RIFF size counts.
    const std::uint64_t size = isData(chunk) ? dataSize : chunk.size;
    riffSize += 8 + size + (size & 1U);
  }
  // Sizes beyond the 32-bit fields make an RF64 file: a "ds64" chunk first holds the 64-bit
  // sizes, and the 32-bit fields say 0xFFFFFFFF.
  const bool rf64 = riffSize > rf64Threshold;
  std::vector<std::uint8_t> header;
  if (rf64) {
    riffSize += 8 + kDs64Bytes;
    PutId(header, "RF64");
    PutLE32(header, 0xFFFFFFFFU);
    PutId(header, "WAVE");
    PutId(header, "ds64");
    PutLE32(header, kDs64Bytes);
    for (const std::uint64_t value : {riffSize, dataSize, frames}) {
      PutLE32(header, static_cast<std::uint32_t>(value));
      PutLE32(header, static_cast<std::uint32_t>(value >> 32));
    }
    PutLE32(header, 0);  // no table of other sizes
  } else {
    PutId(header, "RIFF");
    PutLE32(header, static_cast<std::uint32_t>(riffSize));
    PutId(header, "WAVE");
  }
  if (!sink.Write(header.data(), header.size())) {
    return 0;
  }
  for (const OutChunk& chunk : chunks) {
    const bool data = isData(chunk);
    const std::uint64_t size = data ? dataSize : chunk.size;
    std::vector<std::uint8_t> chunkHeader;
    PutId(chunkHeader, chunk.id);
    PutLE32(chunkHeader, rf64 && data ? 0xFFFFFFFFU : static_cast<std::uint32_t>(size));
    const std::uint8_t pad = 0;
    if (!sink.Write(chunkHeader.data(), chunkHeader.size()) ||
        (data ? !writeData(sink) : chunk.size > 0 && !sink.Write(chunk.bytes, chunk.size)) ||
        ((size & 1U) != 0 && !sink.Write(&pad, 1))) {
      return 0;
    }
  }
  return 1;
}

bool C_WavFile::CanStream() const {
  return Container() != nullptr && m_formatType == 2 && StreamableLayout();
}

bool C_WavFile::StreamableLayout() const {
  // Samples stored as the filtering pass reads them, or ADPCM decoding to them, with nothing to
  // convert on the way out.
  I_WavData* data = Container();
  if (data == nullptr || data->GetWriteParam().hasTarget != 0) {
    return false;
  }
  if (IsAdpcm()) {
    // Decoded samples beyond 4 GiB are refused by the loading path; they stay refused.
    return GetSampleBytes64() <= 0xFFFFFFFFULL;
  }
  if (m_formatTag == kWaveTagFloat) {
    return m_bitsPerSample == 32 || m_bitsPerSample == 64;
  }
  return m_formatTag == kWaveTagPcm && (m_bitsPerSample == 8 || m_bitsPerSample == 16 ||
                                        m_bitsPerSample == 24 || m_bitsPerSample == 32);
}

bool C_WavFile::PrepareStream() {
  if (!CanStream()) {
    return false;
  }
  if (IsAdpcm() && !m_streamDecoded) {
    // What the decode of LoadSamples leaves in the info, without the samples.
    Container()->SetFormat(m_sampleRate, static_cast<std::uint32_t>(GetSampleBytes64()), m_channels,
                           16, 16, 1);
    m_streamDecoded = true;
  }
  return true;
}

std::uint64_t C_WavFile::GetSampleBytes64() const {
  if (IsAdpcm()) {
    return C_AdpcmBlockReader::DecodedFrames(m_dataLength, AdpcmLayout()) * m_channels * 2;
  }
  return m_dataLength64;
}

std::unique_ptr<I_SampleReader> C_WavFile::OpenSampleReader() {
  std::unique_ptr<I_ByteSource> source = OpenDataSource();
  if (!source) {
    return nullptr;
  }
  if (IsAdpcm()) {
    return std::make_unique<C_AdpcmBlockReader>(std::move(source), m_dataOffset, m_dataLength,
                                                AdpcmLayout());
  }
  return std::make_unique<C_StoredSampleReader>(std::move(source), m_dataOffset, m_dataLength64);
}

int C_WavFile::StreamTo(const std::string& path, std::uint32_t outputType,
                        I_SampleBlockFilter& filter) {
  const std::size_t blockFrames = StreamBlockFrames(filter.FrameBytes());
  if (outputType == kFormatTypeWav) {
    return WriteAtomically(path,
                           [&](I_ByteSink& sink) { return StreamInto(sink, filter, blockFrames); });
  }
  const std::optional<StreamSource> source =
      OpenStreamSource(filter, "the samples cannot be streamed into this file format");
  if (!source) {
    return 0;
  }
  I_SampleReader& reader = *source->reader;
  std::string stopped;
  const int result = WriteSndFileSamples(
      outputType, path, *source->data,
      [&](const SampleBytesWriter& write) {
        return StreamSamples(reader, GetSampleBytes64(), source->sampleBytes, filter, blockFrames,
                             write, stopped) &&
               !reader.EndedEarly();
      },
      m_writeError, filter.OutputInfo());
  if (result != 1) {
    m_writeError = !stopped.empty()      ? stopped
                   : reader.EndedEarly() ? std::string(kEndedEarly)
                                         : m_writeError;
  }
  return result;
}

std::optional<C_WavFile::StreamSource> C_WavFile::OpenStreamSource(
    const I_SampleBlockFilter& filter, const char* cannotStream) {
  m_writeError.clear();
  StreamSource source;
  source.data = Container();
  if (source.data == nullptr || !PrepareStream()) {
    m_writeError = cannotStream;
    return std::nullopt;
  }
  source.reader = OpenSampleReader();
  if (!source.reader) {
    m_writeError = "the source file cannot be read";
    return std::nullopt;
  }
  const I_WavInfo& info = *source.data->GetWavInfo();
  source.sampleBytes = info.GetStorageBits() / 8U;
  if (source.sampleBytes == 0 || filter.FrameBytes() != source.sampleBytes * info.GetChannels()) {
    return std::nullopt;
  }
  return source;
}

int C_WavFile::StreamInto(I_ByteSink& sink, I_SampleBlockFilter& filter, std::size_t blockFrames,
                          std::uint64_t rf64Threshold) {
  m_writeError.clear();
  I_WavData* data = Container();
  if (data == nullptr || !PrepareStream()) {
    return 0;
  }
  const std::unique_ptr<I_SampleReader> reader = OpenSampleReader();
  if (!reader) {
    m_writeError = "the source file cannot be read";
    return 0;
  }
  // What loading the samples, the registry and WriteTo do to the labels, in their order.
  C_ActionEventMgr& events = data->GetEventMgr();
  events.RestoreFromLabels(data->ListInfo(), data->CueInfo());
  events.SetSampleRate(data->GetWavInfo()->GetSampleRate());
  events.WriteLabels(data->ListInfo(), data->CueInfo());

  const I_WavInfo& info = *data->GetWavInfo();
  const std::size_t frameBytes = filter.FrameBytes();
  const std::size_t sampleBytes = info.GetStorageBits() / 8U;
  if (sampleBytes == 0 || frameBytes == 0 || frameBytes != sampleBytes * info.GetChannels()) {
    return 0;
  }
  const std::uint64_t total = GetSampleBytes64();
  // The samples as written: those read, or the layout the filter writes.
  const I_WavInfo* written = filter.OutputInfo();
  const std::uint64_t dataSize = written != nullptr ? filter.OutputBytes(total) : total;
  const std::uint64_t frames = written != nullptr
                                   ? dataSize / std::max<std::uint64_t>(written->GetBlockAlign(), 1)
                                   : total / frameBytes;
  std::vector<OutChunk> chunks = CollectChunks(*data, written);
  for (OutChunk& chunk : chunks) {
    if (std::memcmp(chunk.id, "fact", 4) == 0 && chunk.owned.size() == 4) {
      chunk.owned.clear();
      PutLE32(chunk.owned,
              static_cast<std::uint32_t>(std::min<std::uint64_t>(frames, 0xFFFFFFFFU)));
      chunk.bytes = chunk.owned.data();
    }
  }
  auto writeData = [&](I_ByteSink& out) {
    const bool written = StreamSamples(
        *reader, total, sampleBytes, filter, blockFrames,
        [&out](const std::uint8_t* bytes, std::size_t size) { return out.Write(bytes, size); },
        m_writeError);
    if (written && reader->EndedEarly()) {
      m_writeError = kEndedEarly;
      return false;
    }
    return written;
  };
  return WriteFramed(sink, chunks, dataSize, frames, rf64Threshold, writeData);
}

int C_WavFile::StreamThrough(I_SampleBlockFilter& filter) {
  const std::optional<StreamSource> source =
      OpenStreamSource(filter, "the samples cannot be streamed");
  if (!source) {
    return 0;
  }
  const bool through = StreamSamples(
      *source->reader, GetSampleBytes64(), source->sampleBytes, filter,
      StreamBlockFrames(filter.FrameBytes()),
      [](const std::uint8_t* /*bytes*/, std::size_t /*size*/) { return true; }, m_writeError);
  if (through && source->reader->EndedEarly()) {
    m_writeError = kEndedEarly;
    return 0;
  }
  return through ? 1 : 0;
}
