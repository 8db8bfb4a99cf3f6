#include "LibProject/Audio/WaveFileUtil/WavFile.h"

#include <bit>
#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "LibProject/Audio/WaveFileUtil/cipher/EncryptNewPC1.h"
#include "LibProject/Audio/WaveFileUtil/codec/DVIADPCMCodec.h"
#include "LibProject/Audio/WaveFileUtil/codec/MSADPCMEncDec.h"
#include "LibProject/Audio/WaveFileUtil/riff/RiffFile.h"
#include "platform/text/BoundedText.h"
#include "platform/text/FormatText.h"

static_assert(std::endian::native == std::endian::little,
              "decoded samples are stored in the host's byte order, which must be little-endian");

namespace {

constexpr std::uint16_t kTagPcm = 1;
constexpr std::uint16_t kTagFloat = 3;
constexpr std::uint16_t kTagMsAdpcm = 2;
constexpr std::uint16_t kTagImaAdpcm = 17;

constexpr std::uint64_t kMaxRiffBytes = 0xFFFFFFFFULL;

// Whether the "fmt " chunk of the PCM file we would write for this source holds consistent
// values: block align = channels x bytes per sample within 16 bits and byte rate = rate x block
// align within 32 bits. ADPCM sources are written as 16-bit PCM.
bool OutputFormatFits(std::uint16_t tag, std::uint16_t channels, std::uint32_t rate,
                      std::uint16_t bits) {
  const std::uint64_t bytesPerSample = tag == kTagPcm || tag == kTagFloat ? (bits + 7U) / 8U : 2U;
  const std::uint64_t blockAlign = channels * bytesPerSample;
  return blockAlign <= 0xFFFFU && rate * blockAlign <= 0xFFFFFFFFULL;
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
  if (m_fromMemory) {
    m_fileSize = static_cast<std::uint32_t>(std::min<std::size_t>(m_memory.size(), 0xFFFFFFFFU));
    m_fileTime = C_CUTime{};
    return;
  }
  const auto attributes = platform::ReadFileAttributes(m_fileName);
  m_fileSize =
      attributes
          ? static_cast<std::uint32_t>(std::min<std::uint64_t>(attributes->size, 0xFFFFFFFFULL))
          : 0xFFFFFFFFU;
  m_fileTime = attributes ? C_CUTime{attributes->modified} : C_CUTime{};
}

int C_WavFile::ReadHeader(const std::string& path, int withInfo) {
  RemoveTempFile();
  m_fromMemory = false;
  m_memory = {};
  m_fileName = path;
  // A longer path would not fit the file-name field (on Windows platform::kMaxPathChars); cutting
  // it short could name another file.
  if (!platform::PathFitsLimit(path)) {
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
  const auto source = C_FileByteSource::Open(m_fileName);
  if (!source) {
    return 0;
  }
  return FinishRead(ParseHeader(*source, withInfo));
}

int C_WavFile::ReadHeaderFromMemory(std::span<const std::uint8_t> bytes, int withInfo) {
  RemoveTempFile();
  m_fileName.clear();
  m_fromMemory = true;
  m_memory = bytes;
  C_MemoryByteSource source(bytes);
  return FinishRead(ParseHeader(source, withInfo));
}

int C_WavFile::FinishRead(const ParseResult& parsed) {
  m_deferredLoadError.clear();
  if (parsed.foreign) {
    // A well-formed file in an encoding another class may read: the registry tries the others
    // and raises this error only when none of them takes the file.
    m_deferredLoadError = parsed.loadError;
    return 0;
  }
  if (!parsed.loadError.empty()) {
    // Without an owner window to show it in, the caller gets the message.
    if (m_ownerWindow == 0) {
      throw std::runtime_error(parsed.loadError);
    }
    return 0;
  }
  if (parsed.ok) {
    RecordFileAttributes();
  }
  return parsed.ok ? 1 : 0;
}

C_WavFile::ParseResult C_WavFile::ParseHeader(I_ByteSource& source, int withInfo) {
  C_RiffFile riff;
  if (!riff.Open(source, "WAVE")) {
    return {};
  }
  if (withInfo != 0 && Container() == nullptr) {
    m_ownedData = T_RefPtr<I_WavData>(new C_WavData(m_ownerWindow));
  }
  C_RiffChunkList& chunks = riff.Chunks();
  C_RiffChunk* fmt = nullptr;
  m_dataOffset = 0;
  m_dataLength = 0;
  m_dataLength64 = 0;
  m_statedLength64 = 0;
  m_streamDecoded = false;
  for (std::size_t i = 0; i < chunks.Count(); ++i) {
    C_RiffChunk& chunk = chunks.At(i);
    if (chunk.IsId("fmt ")) {
      ParseResult format = ReadFormat(chunk);
      if (!format.ok) {
        return format;
      }
      fmt = &chunk;
    } else if (chunk.IsId("data")) {
      m_dataOffset = chunk.Offset();
      // Only the bytes really in the file: a stated size running past its end must not
      // demand memory the file cannot fill.
      // Beyond 4 GiB the samples can only be streamed (StreamTo); the container's 32-bit
      // length then stands at its limit and LoadSamples refuses them.
      m_dataLength64 = chunk.AvailableSize();
      m_statedLength64 = chunk.Size();
      m_dataLength = static_cast<std::uint32_t>(std::min(m_dataLength64, kMaxRiffBytes));
    }
  }
  if (fmt == nullptr || m_channels == 0) {
    return {};
  }
  if ((m_formatTag == kTagMsAdpcm || m_formatTag == kTagImaAdpcm) && !ReadAdpcmFormat(*fmt)) {
    return {};
  }
  if (withInfo != 0) {
    I_WavData* data = Container();
    data->SetFormat(m_sampleRate, m_dataLength, m_channels, m_bitsPerSample, m_bitsPerSample,
                    m_bitsPerSample > 8 ? 1 : 0);
    data->GetWavInfo()->SetEncoding(m_encoding);
    m_formatType = 2;
    if (!ReadChunkInfos(chunks, *data)) {
      return {};
    }
  }
  m_codecType = m_formatTag == kTagMsAdpcm ? 3 : (m_formatTag == kTagImaAdpcm ? 6 : 0);
  return {true, {}};
}

C_WavFile::ParseResult C_WavFile::ReadFormat(C_RiffChunk& chunk) {
  std::uint8_t f[40] = {};
  const std::size_t got = chunk.Read(f, sizeof f, 0);
  if (got < 16) {
    return {};  // too short to describe the samples
  }
  const std::uint16_t tag = GetLE16(f);
  const std::uint16_t channels = GetLE16(f + 2);
  const std::uint32_t rate = GetLE32(f + 4);
  const std::uint16_t blockAlign = GetLE16(f + 12);
  const std::uint16_t bits = GetLE16(f + 14);
  const std::string unsupported =
      platform::FormatText("Unsupported wave format!(%s)", m_fileName.c_str());
  if (rate == 0) {
    // No rate to design the filters for, and a file written with it no player can read.
    return {false,
            platform::FormatText("The file states a sample rate of 0 Hz!(%s)", m_fileName.c_str())};
  }

  C_WavEncoding encoding;
  std::uint16_t sampleTag = tag;
  if (tag == kWaveTagExtensible) {
    // The extension: its size, the valid bits, the channel mask and the sub-format GUID, whose
    // first two bytes are the tag of the samples and whose rest is the standard tail.
    static constexpr std::uint8_t kGuidTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                                   0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
    if (got < 40 || GetLE16(f + 16) < 22) {
      return {false, unsupported};
    }
    if (std::memcmp(f + 26, kGuidTail, sizeof kGuidTail) != 0) {
      return {false, unsupported, true};  // a sub-format another reader may know
    }
    sampleTag = GetLE16(f + 24);
    encoding.extensible = true;
    encoding.validBits = GetLE16(f + 18);
    encoding.channelMask = GetLE32(f + 20);
    if (sampleTag != kTagPcm && sampleTag != kTagFloat) {
      return {false, unsupported, true};
    }
    if (encoding.validBits == 0 || encoding.validBits > bits) {
      return {false, unsupported};  // valid bits above the container
    }
  }
  encoding.sampleTag = sampleTag == kTagFloat ? kWaveTagFloat : kWaveTagPcm;

  const bool classic = tag == kTagPcm && bits <= 16;  // the PCM files of the first version
  if (tag == kTagMsAdpcm || tag == kTagImaAdpcm || classic) {
    // As read since the first version: any PCM width up to 16, or ADPCM.
  } else if (sampleTag == kTagPcm) {
    const bool whole = bits == 8 || bits == 16 || bits == 24 || bits == 32;
    if (tag == kTagPcm && bits != 24 && bits != 32) {
      return {false,
              platform::FormatText("Unsupported %d-bit PCM format!(%s)", bits, m_fileName.c_str())};
    }
    if (!whole) {
      return {false, unsupported};
    }
  } else if (sampleTag == kTagFloat) {
    if (bits != 32 && bits != 64) {
      return {false, unsupported};
    }
  } else {
    return {false, unsupported, true};  // mu-law, A-law, GSM and the like
  }
  // The new flavours describe their frames exactly: one container per sample and channel.
  if (!classic && tag != kTagMsAdpcm && tag != kTagImaAdpcm &&
      blockAlign != static_cast<std::uint32_t>(channels) * (bits / 8U)) {
    return {false, unsupported};
  }
  if (!OutputFormatFits(sampleTag, channels, rate, bits)) {
    // Written back, its block align or byte rate would not fit its field: a reader of the
    // output would see other frames than we wrote.
    return {false, unsupported};
  }
  m_formatTag = sampleTag;
  m_encoding = encoding;
  m_channels = channels;
  m_sampleRate = rate;
  m_blockAlign = blockAlign;
  m_bitsPerSample = bits;
  m_fmtOffset = chunk.Offset();
  return {true, {}};
}

C_SourceLength C_WavFile::GetSourceLength() const {
  // Streaming writers that cannot seek back leave the data size open: all bits set, or (sox)
  // the whole frames below 0x7FFFF000. Such a size states no length.
  const std::uint64_t frameBytes =
      static_cast<std::uint64_t>(m_channels) * ((m_bitsPerSample + 7U) / 8U);
  const std::uint64_t unit = IsAdpcm() ? m_blockAlign : frameBytes;
  const bool open =
      m_statedLength64 == 0xFFFFFFFFULL || m_statedLength64 == UINT64_MAX ||
      (unit > 0 && m_statedLength64 <= 0x7FFFF000ULL && m_statedLength64 > 0x7FFFF000ULL - unit);
  if (open || unit == 0) {
    return {};
  }
  const std::uint64_t stated =
      IsAdpcm() ? C_AdpcmBlockReader::DecodedFrames(m_statedLength64, AdpcmLayout())
                : m_statedLength64 / frameBytes;
  // A data chunk that runs past the end of the file was cut: the bytes there are read.
  return {stated, m_statedLength64 > m_dataLength64};
}

bool C_WavFile::ReadChunkInfos(C_RiffChunkList& chunks, I_WavData& data) {
  for (std::size_t i = 0; i < chunks.Count(); ++i) {
    C_RiffChunk& chunk = chunks.At(i);
    bool taken = true;
    if (chunk.IsId("cue ")) {
      taken = data.CueInfo().Read(chunk.Data());
    } else if (chunk.IsId("smpl")) {
      taken = data.SamplerInfo().Read(chunk.Data());
    } else if (chunk.IsId("LIST")) {
      const std::vector<std::uint8_t>& bytes = chunk.Data();
      taken = bytes.size() >= 4 && SameIdNoCase(reinterpret_cast<const char*>(bytes.data()), "INFO")
                  ? data.ExtraChunkInfo().Read("LIST", bytes)
                  : data.ListInfo().Read(bytes);
    } else if (C_WavDataExtraChunkInfo::IsExtraChunkId(chunk.Id())) {
      taken = data.ExtraChunkInfo().Read(chunk.Id(), chunk.Data());
    }
    if (!taken) {
      return false;
    }
  }
  return true;
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
  if (m_dataLength64 > kMaxRiffBytes) {
    const std::string message = platform::FormatText(
        "The samples of the file are larger than 4 GiB, more than can be converted!(%s)",
        m_fileName.c_str());
    if (m_ownerWindow == 0) {
      throw std::runtime_error(message);
    }
    return 0;
  }
  const std::unique_ptr<I_ByteSource> source = OpenDataSource();
  if (!source) {
    return 0;
  }
  if (m_formatTag == kTagPcm || m_formatTag == kTagFloat) {
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
  data->GetEventMgr().RestoreFromLabels(data->ListInfo(), data->CueInfo());
  return 1;
}

std::unique_ptr<I_ByteSource> C_WavFile::OpenDataSource() const {
  if (m_fromMemory) {
    return std::make_unique<C_MemoryByteSource>(m_memory);
  }
  return C_FileByteSource::Open(m_fileName);
}

bool C_WavFile::IsAdpcm() const {
  return m_formatTag == kTagMsAdpcm || m_formatTag == kTagImaAdpcm;
}

C_AdpcmBlockReader::C_Layout C_WavFile::AdpcmLayout() const {
  return {m_formatTag == kTagMsAdpcm, m_channels, m_blockAlign, m_samplesPerBlock, m_coefs};
}

int C_WavFile::DecodeAdpcm(I_ByteSource& source) {
  I_WavData* data = Container();
  const bool ms = m_formatTag == kTagMsAdpcm;
  std::vector<std::uint8_t> compressed(m_dataLength);
  compressed.resize(source.ReadAt(m_dataOffset, compressed.data(), compressed.size()));

  const std::size_t blocks = compressed.size() / m_blockAlign;
  const std::size_t rest = compressed.size() % m_blockAlign;
  // A final partial block gives what its bytes hold; one shorter than its header gives nothing.
  const std::uint32_t restFrames = std::min(ms ? C_MSADPCMEncDec::SamplesInBlock(rest, m_channels)
                                               : C_DVIADPCMCodec::SamplesInBlock(rest, m_channels),
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
        ms ? C_MSADPCMEncDec::DecodeBlock(in, size, m_channels, m_samplesPerBlock, m_coefs,
                                          block.data())
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
