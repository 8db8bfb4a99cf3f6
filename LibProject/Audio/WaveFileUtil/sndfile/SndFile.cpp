#include "LibProject/Audio/WaveFileUtil/sndfile/SndFile.h"

#include <sndfile.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "LibProject/Audio/WaveFileUtil/WavData.h"
#include "LibProject/Audio/WaveFileUtil/sndfile/SndFileDetail.h"
#include "platform/fs/FileSystem.h"
#include "platform/text/FormatText.h"

using sndfile_detail::HeldLayout;
using sndfile_detail::HeldLayoutOf;
using sndfile_detail::kBlockFrames;
using sndfile_detail::kTagKinds;

namespace {

// Bounds on what a file may make libsndfile (and us) hold. A file of n bytes decodes to at most
// n x kMaxExpansion samples (silence in the lossy codecs compresses about this far; every real
// recording far less), and never to more than the 4 GiB a container holds.
constexpr std::uint64_t kMaxExpansion = 2048;
constexpr std::uint64_t kMaxContainerBytes = 0xFFFFFFFFULL;
constexpr int kMaxChannels = 1024;
constexpr int kMaxSampleRate = 4000000;

// The containers of the class: libsndfile's major format and our type id.
struct Container {
  int major;
  std::uint32_t type;
};
constexpr Container kContainers[] = {
    {SF_FORMAT_FLAC, kFormatTypeFlac},   {SF_FORMAT_OGG, kFormatTypeOggVorbis},
    {SF_FORMAT_MPEG, kFormatTypeMp3},    {SF_FORMAT_AIFF, kFormatTypeAiff},
    {SF_FORMAT_CAF, kFormatTypeCaf},     {SF_FORMAT_W64, kFormatTypeW64},
    {SF_FORMAT_AU, kFormatTypeAu},       {SF_FORMAT_WAV, kFormatTypeSndWav},
    {SF_FORMAT_RF64, kFormatTypeSndWav},
};

// The type id of a file libsndfile opened; 0 for a container this class does not take.
std::uint32_t TypeOf(int format) {
  const int major = format & SF_FORMAT_TYPEMASK;
  const int sub = format & SF_FORMAT_SUBMASK;
  if (major == SF_FORMAT_OGG) {
    return sub == SF_FORMAT_OPUS ? kFormatTypeOpus : kFormatTypeOggVorbis;
  }
  for (const Container& c : kContainers) {
    if (c.major == major) {
      return c.type;
    }
  }
  return 0;
}

bool IsLossy(int sub) {
  return sub == SF_FORMAT_VORBIS || sub == SF_FORMAT_OPUS || sub == SF_FORMAT_MPEG_LAYER_I ||
         sub == SF_FORMAT_MPEG_LAYER_II || sub == SF_FORMAT_MPEG_LAYER_III;
}

// Bytes per sample of a format libsndfile stores uncompressed; 0 for a compressed one (FLAC
// states its samples as PCM widths, but compresses them).
unsigned PlainWidth(int format) {
  const int major = format & SF_FORMAT_TYPEMASK;
  if (major == SF_FORMAT_FLAC || major == SF_FORMAT_OGG || major == SF_FORMAT_MPEG) {
    return 0;
  }
  switch (format & SF_FORMAT_SUBMASK) {
    case SF_FORMAT_PCM_S8:
    case SF_FORMAT_PCM_U8:
    case SF_FORMAT_ULAW:
    case SF_FORMAT_ALAW: return 1;
    case SF_FORMAT_PCM_16: return 2;
    case SF_FORMAT_PCM_24: return 3;
    case SF_FORMAT_PCM_32:
    case SF_FORMAT_FLOAT: return 4;
    case SF_FORMAT_DOUBLE: return 8;
    default: return 0;
  }
}

// The layout the samples are held in: width, float or integer, signedness.
struct Layout {
  std::uint16_t bits = 16;
  bool isFloat = false;
};

Layout LayoutFor(int format) {
  const int sub = format & SF_FORMAT_SUBMASK;
  if (IsLossy(sub)) {
    return {32, true};  // lossy sources are filtered as 32-bit float values
  }
  switch (sub) {
    case SF_FORMAT_PCM_S8:
    case SF_FORMAT_PCM_U8: return {8, false};
    case SF_FORMAT_PCM_24:
    case SF_FORMAT_ALAC_20:
    case SF_FORMAT_ALAC_24: return {24, false};
    case SF_FORMAT_PCM_32:
    case SF_FORMAT_ALAC_32: return {32, false};
    case SF_FORMAT_FLOAT: return {32, true};
    case SF_FORMAT_DOUBLE: return {64, true};
    default: return {16, false};
  }
}

// FLAC's STREAMINFO block opens the file: "fLaC", a block header of type 0 and length 34, and
// at bytes 18 to 25 the rate (20 bits), the channels (3), the bits (5) and the total samples
// (36 bits, from the low half of byte 21 on; 0 when the encoder did not know it).
constexpr std::uint64_t kFlacTotalFirst = 21;
constexpr std::uint64_t kFlacTotalEnd = 26;

// The total samples the STREAMINFO at the start of `source` states; empty when the source does
// not start with one.
std::optional<std::uint64_t> FlacStatedFrames(I_ByteSource& source) {
  std::uint8_t head[kFlacTotalEnd];
  if (!source.ReadExact(0, head, sizeof head) || std::memcmp(head, "fLaC", 4) != 0 ||
      (head[4] & 0x7FU) != 0 || head[5] != 0 || head[6] != 0 || head[7] != 34) {
    return std::nullopt;
  }
  std::uint64_t total = head[kFlacTotalFirst] & 0x0FU;
  for (std::uint64_t i = kFlacTotalFirst + 1; i < kFlacTotalEnd; ++i) {
    total = (total << 8) | head[i];
  }
  return total;
}

// libsndfile's virtual I/O over a byte source: reads only, within the source. For a FLAC file
// it shows a total of 0 ("not known"): libsndfile stops reading at a stated total, so a total
// smaller than the stream would cut the audio, and it refuses to open a stream shorter than the
// total it states when asked to seek there. With 0 it decodes to the stream's real end.
struct VirtualSource {
  I_ByteSource* source;
  sf_count_t position = 0;
  bool hideFlacTotal = false;
};

sf_count_t VirtualLength(void* user) {
  return static_cast<sf_count_t>(static_cast<VirtualSource*>(user)->source->Size());
}
sf_count_t VirtualSeek(sf_count_t offset, int whence, void* user) {
  auto* v = static_cast<VirtualSource*>(user);
  const auto size = static_cast<sf_count_t>(v->source->Size());
  const sf_count_t base = whence == SEEK_CUR ? v->position : whence == SEEK_END ? size : 0;
  if (offset > 0 && base > INT64_MAX - offset) {
    return -1;
  }
  const sf_count_t target = base + offset;
  if (target < 0) {
    return -1;
  }
  v->position = target;
  return target;
}
sf_count_t VirtualRead(void* buffer, sf_count_t count, void* user) {
  auto* v = static_cast<VirtualSource*>(user);
  if (count <= 0 || v->position < 0) {
    return 0;
  }
  const auto start = static_cast<std::uint64_t>(v->position);
  const std::size_t got = v->source->ReadAt(start, buffer, static_cast<std::size_t>(count));
  if (v->hideFlacTotal && start < kFlacTotalEnd) {
    auto* bytes = static_cast<std::uint8_t*>(buffer);
    for (std::uint64_t at = std::max(start, kFlacTotalFirst);
         at < std::min<std::uint64_t>(kFlacTotalEnd, start + got); ++at) {
      bytes[at - start] &= at == kFlacTotalFirst ? 0xF0U : 0x00U;
    }
  }
  v->position += static_cast<sf_count_t>(got);
  return static_cast<sf_count_t>(got);
}
sf_count_t VirtualWrite(const void*, sf_count_t, void*) { return 0; }
sf_count_t VirtualTell(void* user) { return static_cast<VirtualSource*>(user)->position; }

}  // namespace

// An open libsndfile reader and the source it reads.
struct C_SndFile::Handle {
  std::unique_ptr<I_ByteSource> source;
  VirtualSource io{nullptr, 0};
  SF_VIRTUAL_IO callbacks{VirtualLength, VirtualSeek, VirtualRead, VirtualWrite, VirtualTell};
  SNDFILE* file = nullptr;
  SF_INFO info{};
  std::optional<std::uint64_t> flacTotal;  // the total a FLAC file's STREAMINFO states

  Handle() = default;
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  ~Handle() {
    if (file != nullptr) {
      sf_close(file);
    }
  }

  // A decoder at the first frame of `bytes`; null when libsndfile cannot open them.
  static std::unique_ptr<Handle> Create(std::unique_ptr<I_ByteSource> bytes) {
    auto handle = std::make_unique<Handle>();
    handle->source = std::move(bytes);
    handle->io.source = handle->source.get();
    handle->flacTotal = FlacStatedFrames(*handle->source);
    handle->io.hideFlacTotal = handle->flacTotal.has_value();
    handle->file = sf_open_virtual(&handle->callbacks, SFM_READ, &handle->info, &handle->io);
    return handle->file != nullptr ? std::move(handle) : nullptr;
  }

  // A fresh decoder at the first frame of the same bytes (a decoder that has sought does not
  // always give, from the start, the samples a fresh one gives).
  static std::unique_ptr<Handle> Reopen(std::unique_ptr<Handle> old) {
    std::unique_ptr<I_ByteSource> bytes = std::move(old->source);
    old.reset();
    return Create(std::move(bytes));
  }
};

bool SndFileAvailable() { return true; }

C_SndFile::C_SndFile(std::uint32_t formatType, bool acceptWave) : m_acceptWave(acceptWave) {
  m_formatType = formatType;
}

C_SndFile::~C_SndFile() = default;

void C_SndFile::Close() {
  m_handle.reset();
  m_measured = false;
}

int C_SndFile::ReadHeader(const std::string& path, int withInfo) {
  Close();
  m_fileName = path;
  auto source = C_FileByteSource::Open(path);
  if (!source) {
    return 0;
  }
  if (Open(std::move(source), withInfo) == 0) {
    return 0;
  }
  RecordFileAttributes();
  return 1;
}

int C_SndFile::ReadHeaderFromMemory(std::span<const std::uint8_t> bytes, int withInfo) {
  Close();
  m_fileName.clear();
  return Open(std::make_unique<C_MemoryByteSource>(bytes), withInfo);
}

namespace {

// The stated frame count when the decoder finds the last of them there and, where it is not
// bound by the count (FLAC, whose total is hidden from it), nothing after it. Empty otherwise.
std::optional<std::uint64_t> StatedFramesThere(SNDFILE* file, const SF_INFO& info, bool unbound,
                                               std::uint64_t stated, std::uint64_t maxFrames) {
  if (stated == 0 || stated > maxFrames || info.seekable == 0) {
    return std::nullopt;
  }
  std::vector<double> frame(static_cast<std::size_t>(info.channels));
  const auto last = static_cast<sf_count_t>(stated - 1);
  if (sf_seek(file, last, SEEK_SET) != last || sf_readf_double(file, frame.data(), 1) != 1 ||
      (unbound && sf_readf_double(file, frame.data(), 1) == 1)) {
    return std::nullopt;
  }
  return stated;
}

// The frames the decoder gives from where it stands to the end of the stream; empty past
// `maxFrames`. `damaged` tells that the decoder stopped on an error rather than at an end.
std::optional<std::uint64_t> CountFrames(SNDFILE* file, int channels, std::uint64_t maxFrames,
                                         bool& damaged) {
  std::vector<float> block(static_cast<std::size_t>(kBlockFrames) *
                           static_cast<std::size_t>(channels));
  std::uint64_t frames = 0;
  for (sf_count_t got = 0; (got = sf_readf_float(file, block.data(), kBlockFrames)) > 0;) {
    frames += static_cast<std::uint64_t>(got);
    if (frames > maxFrames) {
      return std::nullopt;
    }
  }
  damaged = sf_error(file) != SF_ERR_NO_ERROR;
  return frames;
}

// True when the last Ogg page of `source` is whole and closes its stream (the end-of-stream
// flag of its header): a file cut anywhere lacks that page.
bool OggStreamEnds(I_ByteSource& source) {
  constexpr std::size_t kHeaderBytes = 27;
  constexpr std::uint64_t kMaxPageBytes = kHeaderBytes + 255 + 255 * 255;
  const std::uint64_t size = source.Size();
  const std::uint64_t from = size > kMaxPageBytes ? size - kMaxPageBytes : 0;
  std::vector<std::uint8_t> tail(static_cast<std::size_t>(size - from));
  tail.resize(source.ReadAt(from, tail.data(), tail.size()));
  for (std::size_t at = tail.size() >= kHeaderBytes ? tail.size() - kHeaderBytes + 1 : 0;
       at-- > 0;) {
    if (std::memcmp(tail.data() + at, "OggS", 4) != 0 || tail[at + 4] != 0) {
      continue;  // not a page header (version 0)
    }
    const std::size_t segments = tail[at + 26];
    if (at + kHeaderBytes + segments > tail.size()) {
      return false;
    }
    std::size_t body = 0;
    for (std::size_t i = 0; i < segments; ++i) {
      body += tail[at + kHeaderBytes + i];
    }
    return at + kHeaderBytes + segments + body <= tail.size() && (tail[at + 5] & 0x04U) != 0;
  }
  return false;
}

// Bytes of an ID3v2 tag at the start of `source` (MP3 files often carry one, with pictures),
// which hold no audio; 0 without one.
std::uint64_t LeadingTagBytes(I_ByteSource& source) {
  std::uint8_t h[10];
  if (!source.ReadExact(0, h, sizeof h) || std::memcmp(h, "ID3", 3) != 0 ||
      ((h[6] | h[7] | h[8] | h[9]) & 0x80U) != 0) {
    return 0;
  }
  const std::uint64_t size = (static_cast<std::uint64_t>(h[6]) << 21) |
                             (static_cast<std::uint64_t>(h[7]) << 14) |
                             (static_cast<std::uint64_t>(h[8]) << 7) | h[9];
  return 10 + size + ((h[5] & 0x10U) != 0 ? 10 : 0);  // a footer repeats the header
}

// True when an MP3 file states its length: its first frame holds a Xing, Info or VBRI header
// (after any ID3v2 tag). Without one, libsndfile's length is an estimate from the file's size.
bool Mp3StatesLength(I_ByteSource& source) {
  std::uint8_t start[512];
  const std::size_t got = source.ReadAt(LeadingTagBytes(source), start, sizeof start);
  for (std::size_t at = 0; at + 4 <= got; ++at) {
    for (const char* tag : {"Xing", "Info", "VBRI"}) {
      if (std::memcmp(start + at, tag, 4) == 0) {
        return true;
      }
    }
  }
  return false;
}

// Samples an MP3 decoder may give fewer than the header states without any loss (the frame
// whose decoder delay and padding a header without LAME's tag leaves uncounted).
constexpr std::uint64_t kMp3FrameSamples = 1152;

}  // namespace

int C_SndFile::Open(std::unique_ptr<I_ByteSource> source, int withInfo) {
  m_formatType = 0;
  m_measured = false;
  m_length = {};
  std::unique_ptr<Handle> handle = Handle::Create(std::move(source));
  if (!handle) {
    return 0;
  }
  const SF_INFO info = handle->info;
  const std::uint32_t type = TypeOf(info.format);
  const Layout layout = LayoutFor(info.format);
  if (type == 0 || (type == kFormatTypeSndWav && !m_acceptWave) || info.channels < 1 ||
      info.channels > kMaxChannels || info.samplerate < 1 || info.samplerate > kMaxSampleRate ||
      info.frames < 0 || static_cast<std::uint64_t>(info.channels) * (layout.bits / 8U) > 0xFFFFU) {
    return 0;
  }
  if (withInfo == 0) {
    m_formatType = type;
    m_handle = std::move(handle);
    return 1;
  }
  // The stream is measured before anything is sized by it: a header may state more frames than
  // the stream holds (a file cut short), fewer (a FLAC total written wrong) or none (a FLAC file
  // written to a pipe, an Ogg file cut anywhere). Bounds: the container's 4 GiB, and what the
  // file's bytes can hold: uncompressed samples cannot outnumber them, compressed ones only by
  // kMaxExpansion.
  const std::uint64_t fileBytes = handle->source->Size();
  const auto channels = static_cast<std::uint64_t>(info.channels);
  const std::uint64_t frameBytes = channels * (layout.bits / 8U);
  std::uint64_t maxFrames =
      std::min(kMaxContainerBytes / frameBytes, fileBytes * kMaxExpansion / channels);
  if (const unsigned plain = PlainWidth(info.format); plain != 0) {
    maxFrames = std::min<std::uint64_t>(maxFrames, fileBytes / plain / channels);
  }
  const bool mp3 = (info.format & SF_FORMAT_TYPEMASK) == SF_FORMAT_MPEG;
  const std::uint64_t stated = handle->flacTotal             ? *handle->flacTotal
                               : info.frames == SF_COUNT_MAX ? 0
                               : mp3 && !Mp3StatesLength(*handle->source)
                                   ? 0
                                   : static_cast<std::uint64_t>(info.frames);
  std::optional<std::uint64_t> frames =
      StatedFramesThere(handle->file, info, handle->io.hideFlacTotal, stated, maxFrames);
  bool damaged = false;
  if (!frames) {
    handle = Handle::Reopen(std::move(handle));
    frames = handle ? CountFrames(handle->file, info.channels, maxFrames, damaged) : std::nullopt;
  }
  if (frames) {
    handle = Handle::Reopen(std::move(handle));
  }
  if (!frames || !handle) {
    return 0;
  }
  const bool ogg = (info.format & SF_FORMAT_TYPEMASK) == SF_FORMAT_OGG;
  m_length.statedFrames = stated;
  m_length.endsEarly = stated > 0 ? *frames + (mp3 ? kMp3FrameSamples : 0) < stated
                                  : damaged || (ogg && !OggStreamEnds(*handle->source));

  I_WavData* data = GetWavData();
  data->SetFormat(
      static_cast<std::uint32_t>(info.samplerate), static_cast<std::uint32_t>(*frames * frameBytes),
      static_cast<std::uint16_t>(info.channels), layout.bits, layout.bits, layout.bits > 8 ? 1 : 0);
  C_WavEncoding encoding;
  encoding.sampleTag = layout.isFloat ? kWaveTagFloat : kWaveTagPcm;
  data->GetWavInfo()->SetEncoding(encoding);
  data->TextInfo().Clear();
  for (const auto& [id, kind] : kTagKinds) {
    if (const char* text = sf_get_string(handle->file, id); text != nullptr && *text != '\0') {
      data->TextInfo().Add(kind, text);
    }
  }
  // A lossy source is written again at about its own bitrate: its bytes of audio per second.
  data->GetWriteParam().lossyBitrate = 0;
  if (IsLossy(info.format & SF_FORMAT_SUBMASK) && *frames > 0) {
    const std::uint64_t audioBytes =
        fileBytes - std::min(fileBytes, LeadingTagBytes(*handle->source));
    const double seconds = static_cast<double>(*frames) / info.samplerate;
    data->GetWriteParam().lossyBitrate = static_cast<std::uint32_t>(
        std::min(static_cast<double>(audioBytes) * 8.0 / seconds, 4294967295.0));
  }
  m_formatType = type;
  m_handle = std::move(handle);
  m_measured = true;
  return 1;
}

namespace {

// Reads up to `frames` frames (at most kBlockFrames) into `out` in the container's layout;
// returns the frames read. `ints` holds kBlockFrames frames of 32-bit integers.
sf_count_t ReadFrames(SNDFILE* file, const HeldLayout& layout, std::uint8_t* out, sf_count_t frames,
                      std::vector<int>& ints) {
  if (layout.isFloat && layout.width == 4) {
    return sf_readf_float(file, reinterpret_cast<float*>(out), frames);
  }
  if (layout.isFloat) {
    return sf_readf_double(file, reinterpret_cast<double*>(out), frames);
  }
  if (layout.width == 2) {
    return sf_readf_short(file, reinterpret_cast<short*>(out), frames);
  }
  // Integers of other widths come left-justified in 32 bits.
  const sf_count_t got = sf_readf_int(file, ints.data(), frames);
  const std::size_t count = got > 0 ? static_cast<std::size_t>(got) * layout.channels : 0;
  std::uint8_t* p = out;
  for (std::size_t i = 0; i < count; ++i) {
    const auto v = static_cast<std::uint32_t>(ints[i]);
    if (layout.width == 1) {
      *p++ = static_cast<std::uint8_t>((v >> 24) ^ 0x80U);  // unsigned 8-bit
    } else if (layout.width == 3) {
      *p++ = static_cast<std::uint8_t>(v >> 8);
      *p++ = static_cast<std::uint8_t>(v >> 16);
      *p++ = static_cast<std::uint8_t>(v >> 24);
    } else {
      std::memcpy(p, &v, 4);
      p += 4;
    }
  }
  return got;
}

// The samples of an open file read front to back for a streamed conversion, up to the length
// the file states.
class SndSampleReader final : public I_SampleReader {
 public:
  SndSampleReader(SNDFILE* file, const HeldLayout& layout, std::uint64_t statedBytes)
      : m_file(file),
        m_layout(layout),
        m_left(statedBytes),
        m_ints(static_cast<std::size_t>(kBlockFrames) * layout.channels) {}

  std::size_t Read(std::uint8_t* out, std::size_t bytes) override {
    const std::size_t frameBytes = m_layout.FrameBytes();
    std::size_t given = 0;
    while (!m_endedEarly) {
      const std::uint64_t room = std::min<std::uint64_t>(bytes - given, m_left);
      const auto frames = static_cast<sf_count_t>(
          std::min<std::uint64_t>(static_cast<std::uint64_t>(kBlockFrames), room / frameBytes));
      if (frames == 0) {
        break;
      }
      const sf_count_t got = ReadFrames(m_file, m_layout, out + given, frames, m_ints);
      const std::size_t gotBytes = got > 0 ? static_cast<std::size_t>(got) * frameBytes : 0;
      given += gotBytes;
      m_left -= gotBytes;
      m_endedEarly = got < frames;
    }
    return given;
  }

  bool EndedEarly() const override { return m_endedEarly; }

 private:
  SNDFILE* m_file;
  HeldLayout m_layout;
  std::uint64_t m_left;
  std::vector<int> m_ints;
  bool m_endedEarly = false;
};

}  // namespace

int C_SndFile::LoadSamples(int /*flag*/) {
  I_WavData* data = Container();
  if (data == nullptr || !m_handle) {
    return 0;
  }
  const HeldLayout layout = HeldLayoutOf(*data->GetWavInfo());
  const std::uint32_t length = data->GetWavInfo()->GetDataLength();
  std::uint8_t* out = data->AllocateBuffer(length);
  std::vector<int> ints(static_cast<std::size_t>(kBlockFrames) * layout.channels);
  std::size_t written = 0;
  // Read block by block until the end or the size reported at opening; a shorter stream
  // leaves a shorter container.
  const std::size_t frameBytes = layout.FrameBytes();
  while (written < length) {
    const auto frames = static_cast<sf_count_t>(std::min<std::size_t>(
        static_cast<std::size_t>(kBlockFrames), (length - written) / frameBytes));
    if (frames <= 0) {
      break;
    }
    const sf_count_t got = ReadFrames(m_handle->file, layout, out + written, frames, ints);
    if (got <= 0) {
      break;
    }
    written += static_cast<std::size_t>(got) * frameBytes;
  }
  if (written < length) {
    data->SetBufferCopy(std::vector<std::uint8_t>(out, out + written).data(),
                        static_cast<std::uint32_t>(written));
  }
  Close();
  return 1;
}

bool C_SndFile::CanStream() const {
  I_WavData* data = Container();
  return m_handle && data != nullptr && data->GetWriteParam().hasTarget == 0;
}

bool C_SndFile::PrepareStream() {
  // ReadHeader measured the stream and left a fresh decoder at its first frame.
  return CanStream() && m_measured;
}

C_SourceLength C_SndFile::GetSourceLength() const { return m_length; }

std::uint64_t C_SndFile::GetSampleBytes64() const {
  I_WavData* data = Container();
  return data != nullptr && m_handle ? data->GetWavInfo()->GetDataLength() : 0;
}

std::unique_ptr<I_SampleReader> C_SndFile::OpenSampleReader() {
  if (!m_handle || Container() == nullptr) {
    return nullptr;
  }
  const I_WavInfo& info = *Container()->GetWavInfo();
  return std::make_unique<SndSampleReader>(m_handle->file, HeldLayoutOf(info),
                                           info.GetDataLength());
}
