#include "LibProject/Audio/WaveFileUtil/SndFile.h"

#include <sndfile.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "LibProject/Audio/WaveFileUtil/SndFileDetail.h"
#include "LibProject/Audio/WaveFileUtil/WavData.h"
#include "platform/FileSystem.h"
#include "platform/FormatText.h"

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

// libsndfile's virtual I/O over a byte source: reads only, within the source.
struct VirtualSource {
  ByteSource* source;
  sf_count_t position = 0;
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
  const std::size_t got = v->source->ReadAt(static_cast<std::uint64_t>(v->position), buffer,
                                            static_cast<std::size_t>(count));
  v->position += static_cast<sf_count_t>(got);
  return static_cast<sf_count_t>(got);
}
sf_count_t VirtualWrite(const void*, sf_count_t, void*) { return 0; }
sf_count_t VirtualTell(void* user) { return static_cast<VirtualSource*>(user)->position; }

}  // namespace

// An open libsndfile reader and the source it reads.
struct C_SndFile::Handle {
  std::unique_ptr<ByteSource> source;
  VirtualSource io{nullptr, 0};
  SF_VIRTUAL_IO callbacks{VirtualLength, VirtualSeek, VirtualRead, VirtualWrite, VirtualTell};
  SNDFILE* file = nullptr;
  SF_INFO info{};

  ~Handle() {
    if (file != nullptr) {
      sf_close(file);
    }
  }
};

bool SndFileAvailable() { return true; }

C_SndFile::C_SndFile(std::uint32_t formatType, bool acceptWave) : m_acceptWave(acceptWave) {
  m_formatType = formatType;
}

C_SndFile::~C_SndFile() = default;

void C_SndFile::Close() {
  m_handle.reset();
  m_streamChecked = false;
}

int C_SndFile::ReadHeader(const std::string& path, int withInfo) {
  Close();
  m_fileName = path;
  auto source = FileByteSource::Open(path);
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
  return Open(std::make_unique<MemoryByteSource>(bytes), withInfo);
}

int C_SndFile::Open(std::unique_ptr<ByteSource> source, int withInfo) {
  m_formatType = 0;
  auto handle = std::make_unique<Handle>();
  handle->source = std::move(source);
  handle->io.source = handle->source.get();
  handle->file = sf_open_virtual(&handle->callbacks, SFM_READ, &handle->info, &handle->io);
  if (handle->file == nullptr) {
    return 0;
  }
  const SF_INFO& info = handle->info;
  const std::uint32_t type = TypeOf(info.format);
  const Layout layout = LayoutFor(info.format);
  const std::uint64_t fileBytes = handle->source->Size();
  if (type == 0 || (type == kFormatTypeSndWav && !m_acceptWave) || info.channels < 1 ||
      info.channels > kMaxChannels || info.samplerate < 1 || info.samplerate > kMaxSampleRate ||
      info.frames < 0) {
    return 0;
  }
  // What the reported frame count would need, checked against the file before anything is
  // sized by it: uncompressed samples cannot outnumber the file's bytes, compressed ones only
  // by kMaxExpansion.
  const auto samples =
      static_cast<std::uint64_t>(info.frames) * static_cast<std::uint64_t>(info.channels);
  const unsigned plain = PlainWidth(info.format);
  const std::uint64_t containerBytes = samples * (layout.bits / 8U);
  if ((plain != 0 && samples > fileBytes / plain) || samples > fileBytes * kMaxExpansion ||
      containerBytes > kMaxContainerBytes ||
      static_cast<std::uint64_t>(info.channels) * (layout.bits / 8U) > 0xFFFFU) {
    return 0;
  }
  if (withInfo != 0) {
    I_WavData* data = GetWavData();
    data->SetFormat(static_cast<std::uint32_t>(info.samplerate),
                    static_cast<std::uint32_t>(containerBytes),
                    static_cast<std::uint16_t>(info.channels), layout.bits, layout.bits,
                    layout.bits > 8 ? 1 : 0);
    C_WavEncoding encoding;
    encoding.sampleTag = layout.isFloat ? kWaveTagFloat : kWaveTagPcm;
    data->GetWavInfo()->SetEncoding(encoding);
    data->TextInfo().Clear();
    for (const auto& [id, kind] : kTagKinds) {
      if (const char* text = sf_get_string(handle->file, id); text != nullptr && *text != '\0') {
        data->TextInfo().Add(kind, text);
      }
    }
  }
  m_formatType = type;
  m_handle = std::move(handle);
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
  if (!CanStream()) {
    return false;
  }
  if (m_streamChecked) {
    return true;
  }
  // The whole stated length must be there: a shorter stream loads into a shorter container,
  // whose length the transcript and a WAVE output's header give before a stream could know it.
  // The check reads the last stated frame, then a fresh decoder starts at the first.
  const sf_count_t frames = m_handle->info.frames;
  std::vector<double> last(static_cast<std::size_t>(m_handle->info.channels));
  if (frames <= 0 || m_handle->info.seekable == 0 ||
      sf_seek(m_handle->file, frames - 1, SEEK_SET) != frames - 1 ||
      sf_readf_double(m_handle->file, last.data(), 1) != 1) {
    return false;
  }
  std::unique_ptr<ByteSource> source = std::move(m_handle->source);
  m_handle.reset();
  if (Open(std::move(source), 0) == 0 || m_handle->info.frames != frames) {
    m_handle.reset();
    return false;
  }
  m_streamChecked = true;
  return true;
}

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
