#include "LibProject/Audio/WaveFileUtil/WavFile.h"

#include <bit>
#include <cerrno>
#include <cstring>
#include <stdexcept>

#include <sys/stat.h>

#include "LibProject/Audio/WaveFileUtil/DVIADPCMCodec.h"
#include "LibProject/Audio/WaveFileUtil/EncryptNewPC1.h"
#include "LibProject/Audio/WaveFileUtil/MSADPCMEncDec.h"
#include "LibProject/Audio/WaveFileUtil/RiffFile.h"
#include "platform/FormatText.h"

static_assert(std::endian::native == std::endian::little,
              "decoded samples are stored in the host's byte order, which must be little-endian");

namespace {

constexpr std::uint16_t kTagPcm = 1;
constexpr std::uint16_t kTagMsAdpcm = 2;
constexpr std::uint16_t kTagImaAdpcm = 17;

// The longest path a file object accepts: its file-name field holds 259 characters.
constexpr std::size_t kMaxFileNameChars = 259;

constexpr std::uint64_t kMaxRiffBytes = 0xFFFFFFFFULL;

// Parses a label made only of "(first,second)" pairs into `pairs`. False for any other text.
bool ParseValuePairs(const std::string& text, std::vector<std::pair<std::int32_t, std::int32_t>>& pairs) {
  std::size_t i = 0;
  auto number = [&](std::int32_t& value) {
    const std::size_t start = i;
    bool negative = false;
    if (i < text.size() && text[i] == '-') {
      negative = true;
      ++i;
    }
    std::int64_t magnitude = 0;
    const std::size_t digits = i;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
      magnitude = magnitude * 10 + (text[i] - '0');
      if (magnitude > 2147483648LL) {
        return false;
      }
      ++i;
    }
    if (i == digits || (!negative && magnitude > 2147483647LL)) {
      i = start;
      return false;
    }
    value = static_cast<std::int32_t>(negative ? -magnitude : magnitude);
    return true;
  };
  pairs.clear();
  while (i < text.size()) {
    std::int32_t first = 0;
    std::int32_t second = 0;
    if (text[i] != '(') return false;
    ++i;
    if (!number(first) || i >= text.size() || text[i] != ',') return false;
    ++i;
    if (!number(second) || i >= text.size() || text[i] != ')') return false;
    ++i;
    pairs.emplace_back(first, second);
  }
  return !pairs.empty();
}

// Whether the "fmt " chunk of the PCM file we would write for this source holds consistent
// values: block align = channels x bytes per sample within 16 bits and byte rate = rate x block
// align within 32 bits. ADPCM sources are written as 16-bit PCM.
bool OutputFormatFits(std::uint16_t tag, std::uint16_t channels, std::uint32_t rate,
                      std::uint16_t bits) {
  const std::uint64_t bytesPerSample = tag == kTagPcm ? (bits + 7U) / 8U : 2U;
  const std::uint64_t blockAlign = channels * bytesPerSample;
  return blockAlign <= 0xFFFFU && rate * blockAlign <= 0xFFFFFFFFULL;
}

bool IsSilenceLabel(const std::string& text) {
  const auto first = text.find_first_not_of(" \t\n");
  if (first == std::string::npos) {
    return false;
  }
  const auto last = text.find_last_not_of(" \t\n");
  const std::string word = text.substr(first, last - first + 1);
  if (word.size() != 7) {
    return false;
  }
  for (std::size_t i = 0; i < 7; ++i) {
    const char c = (word[i] >= 'a' && word[i] <= 'z') ? static_cast<char>(word[i] - 32) : word[i];
    if (c != "SILENCE"[i]) {
      return false;
    }
  }
  return true;
}

}  // namespace

C_WavFile::~C_WavFile() { RemoveTempFile(); }

void C_WavFile::RemoveTempFile() { m_tempFile.reset(); }

I_WavData* C_WavFile::Container() const {
  return m_attachedData != nullptr ? m_attachedData : m_ownedData.Get();
}

I_WavInfo* C_WavFile::GetWavInfo() {
  I_WavData* data = Container();
  return data == nullptr ? nullptr : data->GetWavInfo();
}

void C_WavFile::AttachWavData(I_WavData* data) {
  m_ownedData.Reset();
  m_attachedData = data;
  if (data != nullptr) {
    data->GetEventMgr().SetSampleRate(data->GetWavInfo()->GetSampleRate());
  }
}

I_WavData* C_WavFile::DetachWavData() {
  I_WavData* data = m_attachedData;
  m_attachedData = nullptr;
  return data;
}

I_WavData* C_WavFile::GetWavData() {
  if (Container() == nullptr) {
    m_ownedData = T_RefPtr<I_WavData>(new C_WavData(m_ownerWindow));
  }
  return Container();
}

std::uint8_t* C_WavFile::GetBuffer() {
  I_WavData* data = Container();
  return data == nullptr ? nullptr : data->GetBuffer();
}

void C_WavFile::RecordFileAttributes() {
  struct stat info {};
  if (m_fromMemory || ::stat(m_fileName.c_str(), &info) != 0) {
    m_fileSize = m_fromMemory ? static_cast<std::uint32_t>(std::min<std::size_t>(m_memory.size(), 0xFFFFFFFFU))
                              : 0xFFFFFFFFU;
    m_fileTime = C_CUTime{};
    return;
  }
  m_fileSize = static_cast<std::uint32_t>(
      std::min<std::uint64_t>(static_cast<std::uint64_t>(info.st_size), 0xFFFFFFFFULL));
  m_fileTime = C_CUTime{static_cast<std::int64_t>(info.st_mtime)};
}

int C_WavFile::ReadHeader(const std::string& path, int withInfo) {
  RemoveTempFile();
  m_fromMemory = false;
  m_memory = {};
  m_fileName = path;
  // A longer path would not fit the file-name field; cutting it short could name another file.
  if (path.size() > kMaxFileNameChars) {
    return 0;
  }
  C_EncryptNewPC1 cipher;
  if (cipher.IsProtectedFile(path, nullptr, nullptr)) {
    auto temp = platform::TempFile::Create();
    if (!temp) {
      return 0;
    }
    if (cipher.DecryptFile(path, temp->Path(), kWaveReaderPassPhrase, nullptr) != 0) {
      return 0;
    }
    m_fileName = temp->Path();
    m_tempFile = std::move(temp);
  }
  const auto source = FileByteSource::Open(m_fileName);
  if (!source) {
    return 0;
  }
  return ParseHeader(*source, withInfo);
}

int C_WavFile::ReadHeaderFromMemory(std::span<const std::uint8_t> bytes, int withInfo) {
  RemoveTempFile();
  m_fileName.clear();
  m_fromMemory = true;
  m_memory = bytes;
  MemoryByteSource source(bytes);
  return ParseHeader(source, withInfo);
}

int C_WavFile::ParseHeader(ByteSource& source, int withInfo) {
  C_RiffFile riff;
  if (!riff.Open(source, "WAVE")) {
    return 0;
  }
  if (withInfo != 0 && Container() == nullptr) {
    m_ownedData = T_RefPtr<I_WavData>(new C_WavData(m_ownerWindow));
  }
  C_RiffChunkList& chunks = riff.Chunks();
  C_RiffChunk* fmt = nullptr;
  m_dataOffset = 0;
  m_dataLength = 0;
  for (std::size_t i = 0; i < chunks.Count(); ++i) {
    C_RiffChunk& chunk = chunks.At(i);
    if (chunk.IsId("fmt ")) {
      std::uint8_t f[16];
      if (chunk.Read(f, sizeof f, 0) < sizeof f) {
        return 0;  // too short to describe the samples
      }
      const std::uint16_t tag = GetLE16(f);
      const std::uint16_t bits = GetLE16(f + 14);
      const std::uint16_t channels = GetLE16(f + 2);
      const std::uint32_t rate = GetLE32(f + 4);
      std::string error;
      if (tag != kTagPcm && tag != kTagMsAdpcm && tag != kTagImaAdpcm) {
        error = platform::FormatText("Unsupported wave format!(%s)", m_fileName.c_str());
      } else if (bits >= 17) {
        error = platform::FormatText("Unsupported %d-bit PCM format!(%s)", bits, m_fileName.c_str());
      } else if (!OutputFormatFits(tag, channels, rate, bits)) {
        // Written back, its block align or byte rate would not fit its field: a reader of the
        // output would see other frames than we wrote.
        error = platform::FormatText("Unsupported wave format!(%s)", m_fileName.c_str());
      }
      if (!error.empty()) {
        // Without an owner window to show it in, the caller gets the message.
        if (m_ownerWindow == 0) {
          throw std::runtime_error(error);
        }
        return 0;
      }
      m_formatTag = tag;
      m_channels = channels;
      m_sampleRate = rate;
      m_blockAlign = GetLE16(f + 12);
      m_bitsPerSample = bits;
      m_fmtOffset = chunk.Offset();
      fmt = &chunk;
    } else if (chunk.IsId("data")) {
      m_dataOffset = chunk.Offset();
      // Only the bytes really in the file: a stated size running past its end must not
      // demand memory the file cannot fill.
      m_dataLength = chunk.AvailableSize();
    }
  }
  if (fmt == nullptr || m_channels == 0) {
    return 0;
  }
  if ((m_formatTag == kTagMsAdpcm || m_formatTag == kTagImaAdpcm) && !ReadAdpcmFormat(*fmt)) {
    return 0;
  }
  if (withInfo != 0) {
    I_WavData* data = Container();
    data->SetFormat(m_sampleRate, m_dataLength, m_channels, m_bitsPerSample, m_bitsPerSample,
                    m_bitsPerSample > 8 ? 1 : 0);
    m_formatType = 2;
    for (std::size_t i = 0; i < chunks.Count(); ++i) {
      C_RiffChunk& chunk = chunks.At(i);
      bool taken = true;
      if (chunk.IsId("cue ")) {
        taken = data->CueInfo().Read(chunk.Data());
      } else if (chunk.IsId("smpl")) {
        taken = data->SamplerInfo().Read(chunk.Data());
      } else if (chunk.IsId("LIST")) {
        taken = data->ListInfo().Read(chunk.Data());
      } else if (C_WavDataExtraChunkInfo::IsExtraChunkId(chunk.Id())) {
        taken = data->ExtraChunkInfo().Read(chunk.Id(), chunk.Data());
      }
      if (!taken) {
        return 0;
      }
    }
  }
  m_codecType = m_formatTag == kTagMsAdpcm ? 3 : (m_formatTag == kTagImaAdpcm ? 6 : 0);
  return 1;
}

bool C_WavFile::ReadAdpcmFormat(C_RiffChunk& fmt) {
  const std::vector<std::uint8_t>& f = fmt.Data();
  const bool ms = m_formatTag == kTagMsAdpcm;
  const std::size_t headerBytes =
      (ms ? C_MSADPCMEncDec::kHeaderBytesPerChannel : C_DVIADPCMCodec::kHeaderBytesPerChannel) *
      m_channels;
  if (m_channels > 2 || m_blockAlign == 0 || m_blockAlign < headerBytes || f.size() < 20) {
    return false;
  }
  m_samplesPerBlock = GetLE16(f.data() + 18);
  const std::uint32_t capacity = ms ? C_MSADPCMEncDec::SamplesInBlock(m_blockAlign, m_channels)
                                    : C_DVIADPCMCodec::SamplesInBlock(m_blockAlign, m_channels);
  if (m_samplesPerBlock == 0 || m_samplesPerBlock > capacity) {
    return false;
  }
  m_coefs.clear();
  if (ms) {
    if (f.size() < 22) {
      return false;
    }
    const std::uint16_t pairs = GetLE16(f.data() + 20);
    if (pairs < 7 || pairs > 256 || f.size() < 22U + 4U * pairs) {
      return false;
    }
    for (std::size_t i = 0; i < 2U * pairs; ++i) {
      m_coefs.push_back(static_cast<std::int16_t>(GetLE16(f.data() + 22 + 2 * i)));
    }
  }
  return true;
}

int C_WavFile::LoadSamples(int /*flag*/) {
  I_WavData* data = Container();
  if (data == nullptr) {
    return 0;
  }
  std::unique_ptr<ByteSource> source;
  if (m_fromMemory) {
    source = std::make_unique<MemoryByteSource>(m_memory);
  } else {
    source = FileByteSource::Open(m_fileName);
  }
  if (!source) {
    return 0;
  }
  if (m_formatTag == kTagPcm) {
    // The block is filled once, by the read; bytes the read could not deliver are zeroed.
    std::uint8_t* bytes = data->AllocateBuffer(m_dataLength);
    if (m_dataLength > 0) {
      const std::size_t got = source->ReadAt(m_dataOffset, bytes, m_dataLength);
      std::memset(bytes + got, 0, m_dataLength - got);
    }
  } else if (m_formatTag == kTagMsAdpcm || m_formatTag == kTagImaAdpcm) {
    if (DecodeAdpcm(*source) == 0) {
      return 0;
    }
  } else {
    return 0;
  }
  RestoreEventsFromLabels();
  return 1;
}

int C_WavFile::DecodeAdpcm(ByteSource& source) {
  I_WavData* data = Container();
  const bool ms = m_formatTag == kTagMsAdpcm;
  std::vector<std::uint8_t> compressed(m_dataLength);
  compressed.resize(source.ReadAt(m_dataOffset, compressed.data(), compressed.size()));

  const std::size_t blocks = compressed.size() / m_blockAlign;
  const std::size_t rest = compressed.size() % m_blockAlign;
  // A final partial block gives what its bytes hold; one shorter than its header gives nothing.
  const std::uint32_t restFrames = std::min(
      ms ? C_MSADPCMEncDec::SamplesInBlock(rest, m_channels) : C_DVIADPCMCodec::SamplesInBlock(rest, m_channels),
      m_samplesPerBlock);
  const std::uint64_t frames = static_cast<std::uint64_t>(blocks) * m_samplesPerBlock + restFrames;
  const std::uint64_t bytes = frames * m_channels * 2;
  if (bytes > kMaxRiffBytes) {
    return 0;
  }
  std::uint8_t* out = data->AllocateBuffer(static_cast<std::uint32_t>(bytes));
  std::vector<std::int16_t> block(static_cast<std::size_t>(m_samplesPerBlock) * m_channels);
  std::size_t written = 0;
  for (std::size_t b = 0; b <= blocks; ++b) {
    const std::size_t size = b < blocks ? m_blockAlign : rest;
    const std::uint8_t* in = compressed.data() + b * m_blockAlign;
    const std::uint32_t got =
        ms ? C_MSADPCMEncDec::DecodeBlock(in, size, m_channels, m_samplesPerBlock, m_coefs, block.data())
           : C_DVIADPCMCodec::DecodeBlock(in, size, m_channels, m_samplesPerBlock, block.data());
    const std::size_t gotBytes = static_cast<std::size_t>(got) * m_channels * 2;
    if (gotBytes > 0) {
      std::memcpy(out + written, block.data(), gotBytes);
      written += gotBytes;
    }
  }
  data->SetFormat(m_sampleRate, static_cast<std::uint32_t>(bytes), m_channels, 16, 16, 1);
  return 1;
}

void C_WavFile::RestoreEventsFromLabels() {
  I_WavData* data = Container();
  C_ActionEventMgr& events = data->GetEventMgr();
  const C_WavDataListInfo& list = data->ListInfo();
  std::vector<std::pair<std::int32_t, std::int32_t>> pairs;
  for (const C_WavDataListInfo::Label& label : list.Labels()) {
    const C_WavDataCueInfo::C_CuePoint* cue = data->CueInfo().Find(label.cueId);
    if (cue == nullptr) {
      continue;
    }
    if (ParseValuePairs(label.text, pairs)) {
      for (const auto& [first, second] : pairs) {
        events.AddEventAtSample(first, cue->position, std::string(), second);
      }
    } else if (IsSilenceLabel(label.text)) {
      events.AddSilenceRegion(cue->position, list.SampleLengthFor(label.cueId));
    }
  }
}

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
                   : m_writeError.empty()   ? std::string("the samples cannot be written as a wave file")
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

int C_WavFile::WriteTo(ByteSink& sink) {
  I_WavData* source = Container();
  if (source == nullptr || source->GetWavInfo() == nullptr) {
    return 0;
  }
  // Write a copy in the requested sample format, or 12-bit data as 16-bit.
  T_RefPtr<I_WavData> converted;
  const C_WriteWavParam& param = source->GetWriteParam();
  const I_WavInfo& sourceInfo = *source->GetWavInfo();
  if (param.hasTarget != 0) {
    if (param.targetBits != sourceInfo.GetBitsPerSample() ||
        param.targetStorageBits != sourceInfo.GetStorageBits() ||
        param.targetSignedFlag != sourceInfo.GetSignedFlag()) {
      converted = source->CreateConvertedCopy(param.targetBits, param.targetStorageBits,
                                              param.targetSignedFlag);
      if (!converted) {
        return 0;
      }
    }
  } else if (sourceInfo.GetBitsPerSample() == 12) {
    converted = source->CreateConvertedCopy(16, 16, 1);
    if (!converted) {
      return 0;
    }
  }
  I_WavData& data = converted ? *converted : *source;

  // Labels are rebuilt from the events and silence regions; cue numbers run from 1.
  C_WavDataListInfo& list = data.ListInfo();
  C_WavDataCueInfo& cues = data.CueInfo();
  list.Clear();
  std::uint32_t cueId = 1;
  auto addCue = [&](std::uint32_t position) {
    C_WavDataCueInfo::C_CuePoint point;
    point.id = cueId;
    point.position = position;
    point.sampleOffset = position;
    cues.AddCuePoint(point);
  };
  for (const C_ActionEvent& event : data.GetEventMgr().Events()) {
    addCue(event.GetSamplePosition());
    list.AddLabel(cueId, platform::FormatText("(%d,%d)", event.firstValue, event.secondValue));
    ++cueId;
  }
  for (const C_ActionSilenceRegion& region : data.GetEventMgr().SilenceRegions()) {
    addCue(region.start);
    list.AddLabelledText(cueId, region.length);
    list.AddLabel(cueId, "SILENCE");
    ++cueId;
  }

  const I_WavInfo& info = *data.GetWavInfo();
  const std::uint32_t dataLength = info.GetDataLength();
  if (data.GetSampleBuffer().Size() < dataLength) {
    return 0;  // the container does not hold the samples it describes
  }
  struct Chunk {
    char id[4];
    std::vector<std::uint8_t> owned;
    const std::uint8_t* bytes;
    std::uint32_t size;
  };
  std::vector<Chunk> chunks;
  auto add = [&](const char* id, std::vector<std::uint8_t> bytes) {
    Chunk chunk{{id[0], id[1], id[2], id[3]}, std::move(bytes), nullptr, 0};
    chunk.bytes = chunk.owned.data();
    chunk.size = static_cast<std::uint32_t>(chunk.owned.size());
    chunks.push_back(std::move(chunk));
  };
  std::vector<std::uint8_t> format(16);
  info.GetWaveFormat(format.data());
  add("fmt ", std::move(format));
  chunks.push_back(Chunk{{'d', 'a', 't', 'a'}, {}, data.GetSampleBuffer().Bytes(), dataLength});
  if (!cues.Points().empty()) {
    add("cue ", cues.Render());
  }
  if (!data.SamplerInfo().Loops().empty()) {
    add("smpl", data.SamplerInfo().Render());
  }
  if (!list.Labels().empty()) {
    add("LIST", list.Render());
  }
  for (const C_WavDataExtraChunkInfo::Chunk& extra : data.ExtraChunkInfo().Chunks()) {
    if (!extra.bytes.empty()) {
      add(extra.id, extra.bytes);
    }
  }
  std::uint64_t riffSize = 4;
  for (const Chunk& chunk : chunks) {
    // A chunk of odd size is followed by a pad byte, which the RIFF size counts.
    riffSize += 8 + static_cast<std::uint64_t>(chunk.size) + (chunk.size & 1U);
  }
  if (riffSize > kMaxRiffBytes) {
    m_writeError = "the output would pass the 4 GiB limit of a wave file";
    return 0;
  }
  std::vector<std::uint8_t> header;
  PutId(header, "RIFF");
  PutLE32(header, static_cast<std::uint32_t>(riffSize));
  PutId(header, "WAVE");
  if (!sink.Write(header.data(), header.size())) {
    return 0;
  }
  for (const Chunk& chunk : chunks) {
    std::vector<std::uint8_t> chunkHeader;
    PutId(chunkHeader, chunk.id);
    PutLE32(chunkHeader, chunk.size);
    const std::uint8_t pad = 0;
    if (!sink.Write(chunkHeader.data(), chunkHeader.size()) ||
        (chunk.size > 0 && !sink.Write(chunk.bytes, chunk.size)) ||
        ((chunk.size & 1U) != 0 && !sink.Write(&pad, 1))) {
      return 0;
    }
  }
  return 1;
}
