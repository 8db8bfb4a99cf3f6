// Writing a container as a WAVE file: the chunks to write, the RIFF or RF64 header and the
// atomic write to a path.
#include <cerrno>
#include <cstring>

#include "LibProject/Audio/WaveFileUtil/ByteIO.h"
#include "LibProject/Audio/WaveFileUtil/WavFile.h"
#include "platform/AtomicFile.h"
#include "platform/FileError.h"

namespace {

// Size of the "ds64" chunk an RF64 file gets: three 64-bit sizes and an empty table.
constexpr std::uint32_t kDs64Bytes = 28;

}  // namespace

int C_WavFile::WriteFile(const std::string& path) {
  m_writeError.clear();
  int error = 0;
  auto file = platform::AtomicFile::Create(path, &error);
  if (!file) {
    m_writeError = error == ENOENT ? std::string("its folder does not exist")
                                   : platform::DescribeFileError(error);
    return 0;
  }
  AtomicFileSink sink(*file);
  if (WriteTo(sink) == 0) {
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
  std::uint64_t riffSize = 4;
  for (const OutChunk& chunk : chunks) {
    // A chunk of odd size is followed by a pad byte, which the RIFF size counts.
    riffSize += 8 + static_cast<std::uint64_t>(chunk.size) + (chunk.size & 1U);
  }
  // Sizes beyond the 32-bit fields make an RF64 file: a "ds64" chunk first holds the 64-bit
  // sizes, and the 32-bit fields say 0xFFFFFFFF.
  const bool rf64 = riffSize > rf64Threshold;
  std::vector<std::uint8_t> header;
  if (rf64) {
    const std::uint64_t dataSize = data.GetWavInfo()->GetDataLength();
    const std::uint64_t frames = data.GetWavInfo()->GetSampleFrames();
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
    std::vector<std::uint8_t> chunkHeader;
    PutId(chunkHeader, chunk.id);
    PutLE32(chunkHeader, rf64 && std::memcmp(chunk.id, "data", 4) == 0 ? 0xFFFFFFFFU : chunk.size);
    const std::uint8_t pad = 0;
    if (!sink.Write(chunkHeader.data(), chunkHeader.size()) ||
        (chunk.size > 0 && !sink.Write(chunk.bytes, chunk.size)) ||
        ((chunk.size & 1U) != 0 && !sink.Write(&pad, 1))) {
      return 0;
    }
  }
  return 1;
}
