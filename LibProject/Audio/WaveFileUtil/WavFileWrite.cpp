// Writing a container as a WAVE file: the chunks to write, the RIFF or RF64 header and the
// atomic write to a path.
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <optional>

#include "LibProject/Audio/WaveFileUtil/ByteIO.h"
#include "LibProject/Audio/WaveFileUtil/WavFile.h"
#include "platform/AtomicFile.h"
#include "platform/FileError.h"
#include "platform/WorkerThread.h"

namespace {

// Size of the "ds64" chunk an RF64 file gets: three 64-bit sizes and an empty table.
constexpr std::uint32_t kDs64Bytes = 28;

// The sample bytes a streamed write reads, filters and writes at a time.
constexpr std::size_t kStreamBlockBytes = std::size_t{1024} << 10;

}  // namespace

std::optional<platform::AtomicFile> C_WavFile::CreateOutput(const std::string& path) {
  int error = 0;
  auto file = platform::AtomicFile::Create(path, &error);
  if (!file) {
    m_writeError = error == ENOENT ? std::string("its folder does not exist")
                                   : platform::DescribeFileError(error);
  }
  return file;
}

int C_WavFile::WriteAtomically(const std::string& path,
                               const std::function<int(ByteSink&)>& write) {
  m_writeError.clear();
  auto file = CreateOutput(path);
  if (!file) {
    return 0;
  }
  AtomicFileSink sink(*file);
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
  return WriteAtomically(path, [this](ByteSink& sink) { return WriteTo(sink); });
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

std::vector<C_WavFile::OutChunk> C_WavFile::CollectChunks(I_WavData& data) {
  std::vector<OutChunk> chunks;
  auto add = [&chunks](const char* id, std::vector<std::uint8_t> bytes) {
    OutChunk chunk{{id[0], id[1], id[2], id[3]}, std::move(bytes), nullptr, 0};
    chunk.bytes = chunk.owned.data();
    chunk.size = static_cast<std::uint32_t>(chunk.owned.size());
    chunks.push_back(std::move(chunk));
  };
  const I_WavInfo& info = *data.GetWavInfo();
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
  if (!data.ListInfo().Labels().empty()) {
    add("LIST", data.ListInfo().Render());
  }
  for (const C_WavDataExtraChunkInfo::Chunk& extra : data.ExtraChunkInfo().Chunks()) {
    if (!extra.bytes.empty()) {
      add(extra.id, extra.bytes);
    }
  }
  return chunks;
}

int C_WavFile::WriteTo(ByteSink& sink, std::uint64_t rf64Threshold) {
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
  // Labels are rebuilt from the events and silence regions.
  data.GetEventMgr().WriteLabels(data.ListInfo(), data.CueInfo());
  if (data.GetSampleBuffer().Size() < data.GetWavInfo()->GetDataLength()) {
    return 0;  // the container does not hold the samples it describes
  }
  const std::vector<OutChunk> chunks = CollectChunks(data);
  const std::uint8_t* bytes = data.GetSampleBuffer().Bytes();
  const std::uint32_t size = data.GetWavInfo()->GetDataLength();
  return WriteFramed(sink, chunks, size, data.GetWavInfo()->GetSampleFrames(), rf64Threshold,
                     [bytes, size](ByteSink& out) { return size == 0 || out.Write(bytes, size); });
}

int C_WavFile::WriteFramed(ByteSink& sink, const std::vector<OutChunk>& chunks,
                           std::uint64_t dataSize, std::uint64_t frames,
                           std::uint64_t rf64Threshold,
                           const std::function<bool(ByteSink&)>& writeData) {
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

namespace {

// Block `index` (of three) of this thread's streamed writes, at least `size` bytes, kept from
// one file to the next: fresh blocks for every file of a batch would cost a page fault for every
// 4 KiB of them.
std::uint8_t* StreamBlock(std::size_t index, std::size_t size) {
  struct Kept {
    std::unique_ptr<std::uint8_t[]> bytes;
    std::size_t size = 0;
  };
  thread_local Kept kept[3];
  Kept& block = kept[index];
  if (block.size < size) {
    block.bytes.reset();
    block.bytes = std::make_unique_for_overwrite<std::uint8_t[]>(size);
    block.size = size;
  }
  return block.bytes.get();
}

}  // namespace

int C_WavFile::StreamTo(const std::string& path, I_SampleBlockFilter& filter) {
  const std::size_t blockFrames = kStreamBlockBytes / std::max<std::size_t>(filter.FrameBytes(), 1);
  return WriteAtomically(path,
                         [&](ByteSink& sink) { return StreamInto(sink, filter, blockFrames); });
}

int C_WavFile::StreamInto(ByteSink& sink, I_SampleBlockFilter& filter, std::size_t blockFrames,
                          std::uint64_t rf64Threshold) {
  m_writeError.clear();
  I_WavData* data = Container();
  if (data == nullptr || !PrepareStream()) {
    return 0;
  }
  const std::unique_ptr<ByteSource> source = OpenDataSource();
  if (!source) {
    m_writeError = "the source file cannot be read";
    return 0;
  }
  std::optional<C_AdpcmBlockReader> decoder;
  if (IsAdpcm()) {
    decoder.emplace(*source, m_dataOffset, m_dataLength, AdpcmLayout());
  }
  // What loading the samples, the registry and WriteTo do to the labels, in their order.
  C_ActionEventMgr& events = data->GetEventMgr();
  events.RestoreFromLabels(data->ListInfo(), data->CueInfo());
  events.SetSampleRate(data->GetWavInfo()->GetSampleRate());
  events.WriteLabels(data->ListInfo(), data->CueInfo());

  const std::size_t frameBytes = filter.FrameBytes();
  const std::size_t sampleBytes = IsAdpcm() ? 2U : m_bitsPerSample / 8U;
  if (frameBytes == 0 || frameBytes != sampleBytes * m_channels) {
    return 0;
  }
  const std::uint64_t total = GetSampleBytes64();
  const std::uint64_t frames = total / frameBytes;
  std::vector<OutChunk> chunks = CollectChunks(*data);
  for (OutChunk& chunk : chunks) {
    if (std::memcmp(chunk.id, "fact", 4) == 0 && chunk.owned.size() == 4) {
      chunk.owned.clear();
      PutLE32(chunk.owned,
              static_cast<std::uint32_t>(std::min<std::uint64_t>(frames, 0xFFFFFFFFU)));
      chunk.bytes = chunk.owned.data();
    }
  }

  // The whole samples go through the filter, a last partial frame filled up with zeros (the
  // whole-buffer pass filters its samples too); bytes of a last partial sample stay as they are.
  const std::uint64_t wholeBytes = total - total % sampleBytes;
  const std::uint64_t framesIn = (wholeBytes + frameBytes - 1) / frameBytes;
  const std::size_t lag = filter.LagFrames();
  const std::size_t block = std::max<std::size_t>(blockFrames, 1);
  // A pipeline of three blocks: while this thread filters one, a helper writes out the block
  // filtered before it and reads the one after it (without a spare core, this thread does that
  // first, in the same order). Each block keeps room in front for the
  // results of the block before (the filter writes them there); none is zeroed, every byte
  // being read or filtered into before it is written out.
  struct Block {
    std::uint8_t* bytes = nullptr;
    std::size_t frames = 0;
    bool final = false;
    std::ptrdiff_t first = 0;  // the frames the filter finished, from the block's start
    std::ptrdiff_t end = 0;
  };
  auto writeData = [&](ByteSink& out) {
    Block blocks[3];
    for (std::size_t i = 0; i < 3; ++i) {
      blocks[i].bytes = StreamBlock(i, (lag + block) * frameBytes);
    }
    auto start = [&](Block& b) { return b.bytes + lag * frameBytes; };
    std::uint64_t read = 0;
    std::uint64_t written = 0;
    // The next frames of the source into `b`, a last partial frame filled up with zeros.
    auto readInto = [&](Block& b) {
      b.frames = static_cast<std::size_t>(std::min<std::uint64_t>(block, framesIn - read));
      b.final = read + b.frames == framesIn;
      const std::uint64_t offset = read * frameBytes;
      const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(
          static_cast<std::uint64_t>(b.frames) * frameBytes, wholeBytes - offset));
      const std::size_t got = want == 0 ? 0
                              : decoder ? decoder->Read(start(b), want)
                                        : source->ReadAt(m_dataOffset + offset, start(b), want);
      std::memset(start(b) + got, 0, b.frames * frameBytes - got);
      read += b.frames;
    };
    // What the filter finished of `b` to the output.
    auto writeOut = [&](Block& b) {
      const std::uint64_t ready = std::min<std::uint64_t>(
          static_cast<std::uint64_t>(b.end - b.first) * frameBytes, wholeBytes - written);
      if (ready > 0 && !out.Write(start(b) + b.first * static_cast<std::ptrdiff_t>(frameBytes),
                                  static_cast<std::size_t>(ready))) {
        return false;
      }
      written += ready;
      return true;
    };
    platform::WorkerThread helper(filter.SpareThread());
    readInto(blocks[0]);
    Block* filtered = nullptr;  // filtered, not yet written out
    bool wroteOut = true;
    for (std::size_t k = 0;; ++k) {
      if (filter.Stopped()) {
        m_writeError = "the conversion was stopped";
        return false;
      }
      Block& current = blocks[k % 3];
      Block& next = blocks[(k + 1) % 3];
      helper.Start([&] {
        wroteOut = filtered == nullptr || writeOut(*filtered);
        if (wroteOut && !current.final) {
          readInto(next);
        }
      });
      const auto [first, end] = filter.Filter(start(current), current.frames, current.final);
      helper.Wait();
      if (!wroteOut) {
        return false;
      }
      current.first = first;
      current.end = end;
      filtered = &current;
      if (current.final) {
        break;
      }
    }
    if (!writeOut(*filtered)) {
      return false;
    }
    std::uint8_t rest[8] = {};
    const auto restBytes = static_cast<std::size_t>(total - wholeBytes);
    if (restBytes > 0) {
      (void)source->ReadAt(m_dataOffset + wholeBytes, rest, restBytes);
      return out.Write(rest, restBytes);
    }
    return true;
  };
  return WriteFramed(sink, chunks, total, frames, rf64Threshold, writeData);
}
