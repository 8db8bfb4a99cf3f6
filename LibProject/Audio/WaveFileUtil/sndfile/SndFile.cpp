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
#include "LibProject/Audio/WaveFileUtil/sndfile/SndFileFormats.h"
#include "LibProject/Audio/WaveFileUtil/sndfile/SndFileVirtualIO.h"
#include "platform/fs/FileSystem.h"
#include "platform/text/FormatText.h"

using sndfile_detail::FlacStatedFrames;
using sndfile_detail::HeldLayout;
using sndfile_detail::HeldLayoutOf;
using sndfile_detail::IsLossy;
using sndfile_detail::kBlockFrames;
using sndfile_detail::kTagKinds;
using sndfile_detail::Layout;
using sndfile_detail::LayoutFor;
using sndfile_detail::LeadingTagBytes;
using sndfile_detail::Mp3StatesLength;
using sndfile_detail::OggStreamEnds;
using sndfile_detail::PlainWidth;
using sndfile_detail::TypeOf;
using sndfile_detail::VirtualLength;
using sndfile_detail::VirtualRead;
using sndfile_detail::VirtualSeek;
using sndfile_detail::VirtualSource;
using sndfile_detail::VirtualTell;
using sndfile_detail::VirtualWrite;

namespace {

// Bounds on what a file may make libsndfile (and us) hold. A file of n bytes decodes to at most
// n x kMaxExpansion samples (silence in the lossy codecs compresses about this far; every real
// recording far less), and never to more than the 4 GiB a container holds.
constexpr std::uint64_t kMaxExpansion = 2048;
constexpr std::uint64_t kMaxContainerBytes = 0xFFFFFFFFULL;
constexpr int kMaxChannels = 1024;
constexpr int kMaxSampleRate = 4000000;

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
