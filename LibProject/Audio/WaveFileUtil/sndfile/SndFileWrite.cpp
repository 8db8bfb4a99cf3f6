// Writing the containers libsndfile writes, from a buffer or a stream of samples.
#include <sndfile.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "LibProject/Audio/WaveFileUtil/WavData.h"
#include "LibProject/Audio/WaveFileUtil/sndfile/LossyLevels.h"
#include "LibProject/Audio/WaveFileUtil/sndfile/SndFile.h"
#include "LibProject/Audio/WaveFileUtil/sndfile/SndFileDetail.h"
#include "platform/fs/FileError.h"
#include "platform/text/FormatText.h"

using sndfile_detail::HeldLayout;
using sndfile_detail::HeldLayoutOf;
using sndfile_detail::kBlockFrames;
using sndfile_detail::kTagKinds;

namespace {

// The subtype a container of `type` writes the samples of `info` as: their own encoding where
// the container holds it, else the nearest one it holds. 0, with the reason in `error`, when
// the container cannot hold the samples' rate or channel count.
int WriteFormatFor(std::uint32_t type, const I_WavInfo& info, std::string& error) {
  const std::uint16_t bits = info.GetBitsPerSample();
  const bool isFloat = info.GetEncoding().sampleTag == kWaveTagFloat;
  const std::uint32_t rate = info.GetSampleRate();
  const std::uint16_t channels = info.GetChannels();
  auto pcm = [&](bool unsigned8) {
    if (isFloat) {
      return bits == 64 ? SF_FORMAT_DOUBLE : SF_FORMAT_FLOAT;
    }
    switch (bits) {
      case 8: return unsigned8 ? SF_FORMAT_PCM_U8 : SF_FORMAT_PCM_S8;
      case 24: return SF_FORMAT_PCM_24;
      case 32: return SF_FORMAT_PCM_32;
      default: return SF_FORMAT_PCM_16;
    }
  };
  switch (type) {
    case kFormatTypeFlac:
      if (channels > 8) {
        error = "a FLAC file holds at most 8 channels";
        return 0;
      }
      if (rate > 655350) {
        error = "a FLAC file holds sample rates up to 655350 Hz";
        return 0;
      }
      // FLAC has no float and no 32-bit samples: 24 bits are the nearest.
      return SF_FORMAT_FLAC | (bits == 8 && !isFloat ? SF_FORMAT_PCM_S8
                                                     : (bits == 16 && !isFloat ? SF_FORMAT_PCM_16
                                                                               : SF_FORMAT_PCM_24));
    case kFormatTypeOggVorbis: return SF_FORMAT_OGG | SF_FORMAT_VORBIS;
    case kFormatTypeOpus: {
      constexpr std::uint32_t kOpusRates[] = {8000, 12000, 16000, 24000, 48000};
      if (std::find(std::begin(kOpusRates), std::end(kOpusRates), rate) == std::end(kOpusRates)) {
        error = "an Opus file holds only the sample rates 8000, 12000, 16000, 24000 and 48000 Hz";
        return 0;
      }
      return SF_FORMAT_OGG | SF_FORMAT_OPUS;
    }
    case kFormatTypeMp3: {
      constexpr std::uint32_t kMp3Rates[] = {8000,  11025, 12000, 16000, 22050,
                                             24000, 32000, 44100, 48000};
      if (channels > 2) {
        error = "an MP3 file holds at most 2 channels";
        return 0;
      }
      if (std::find(std::begin(kMp3Rates), std::end(kMp3Rates), rate) == std::end(kMp3Rates)) {
        error = "an MP3 file holds only the sample rates from 8000 to 48000 Hz of its standard";
        return 0;
      }
      return SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III;
    }
    case kFormatTypeAiff: return SF_FORMAT_AIFF | pcm(false);
    case kFormatTypeCaf: return SF_FORMAT_CAF | pcm(false);
    case kFormatTypeW64: return SF_FORMAT_W64 | pcm(true);
    case kFormatTypeAu: return SF_FORMAT_AU | pcm(false);
    default: error = "the file format cannot be written"; return 0;
  }
}

// Passes sample bytes in the container's layout to libsndfile in calls of kBlockFrames frames
// counted from the first sample, however the bytes arrive, so that a streamed write makes the
// encoder calls of a whole-buffer write. A last partial frame is left out.
class SndSampleWriter {
 public:
  SndSampleWriter(SNDFILE* file, const HeldLayout& layout)
      : m_file(file),
        m_layout(layout),
        m_pieceBytes(static_cast<std::size_t>(kBlockFrames) * layout.FrameBytes()),
        m_ints(static_cast<std::size_t>(kBlockFrames) * layout.channels) {
    m_pending.reserve(m_pieceBytes);
  }

  bool Write(const std::uint8_t* bytes, std::size_t size) {
    while (size > 0) {
      if (m_pending.empty() && size >= m_pieceBytes) {
        if (!Put(bytes, kBlockFrames)) {
          return false;
        }
        bytes += m_pieceBytes;
        size -= m_pieceBytes;
        continue;
      }
      const std::size_t n = std::min(size, m_pieceBytes - m_pending.size());
      m_pending.insert(m_pending.end(), bytes, bytes + n);
      bytes += n;
      size -= n;
      if (m_pending.size() == m_pieceBytes) {
        if (!Put(m_pending.data(), kBlockFrames)) {
          return false;
        }
        m_pending.clear();
      }
    }
    return true;
  }

  bool Finish() {
    const auto frames = static_cast<sf_count_t>(m_pending.size() / m_layout.FrameBytes());
    return frames == 0 || Put(m_pending.data(), frames);
  }

 private:
  // One call of the encoder, in the form libsndfile takes for the layout.
  bool Put(const std::uint8_t* p, sf_count_t n) {
    sf_count_t put = 0;
    if (m_layout.isFloat && m_layout.width == 4) {
      put = sf_writef_float(m_file, reinterpret_cast<const float*>(p), n);
    } else if (m_layout.isFloat) {
      put = sf_writef_double(m_file, reinterpret_cast<const double*>(p), n);
    } else if (m_layout.width == 2) {
      put = sf_writef_short(m_file, reinterpret_cast<const short*>(p), n);
    } else {
      // Other integer widths go left-justified in 32 bits.
      const unsigned width = m_layout.width;
      for (std::size_t i = 0; i < static_cast<std::size_t>(n) * m_layout.channels; ++i) {
        std::uint32_t v = 0;
        if (width == 1) {
          v = static_cast<std::uint32_t>(p[i] ^ 0x80U) << 24;  // from unsigned 8-bit
        } else if (width == 3) {
          v = (static_cast<std::uint32_t>(p[3 * i]) << 8) |
              (static_cast<std::uint32_t>(p[3 * i + 1]) << 16) |
              (static_cast<std::uint32_t>(p[3 * i + 2]) << 24);
        } else {
          std::memcpy(&v, p + 4 * i, 4);
        }
        m_ints[i] = static_cast<int>(v);
      }
      put = sf_writef_int(m_file, m_ints.data(), n);
    }
    return put == n;
  }

  SNDFILE* m_file;
  HeldLayout m_layout;
  std::size_t m_pieceBytes;
  std::vector<int> m_ints;
  std::vector<std::uint8_t> m_pending;
};

// What libsndfile is told to write for samples `info` describes in a container of `type`; its
// format 0, with the reason in `error`, when the container cannot hold them.
SF_INFO WriteInfoFor(std::uint32_t type, const I_WavInfo& info, std::string& error) {
  SF_INFO format{};
  format.samplerate = static_cast<int>(info.GetSampleRate());
  format.channels = info.GetChannels();
  format.format = WriteFormatFor(type, info, error);
  if (format.format != 0 && sf_format_check(&format) == SF_FALSE) {
    error = "the container cannot hold these samples";
    format.format = 0;
  }
  return format;
}

}  // namespace

std::string SndFileCannotHold(std::uint32_t type, const I_WavInfo& info) {
  std::string error;
  (void)WriteInfoFor(type, info, error);
  return error;
}

int WriteSndFileSamples(std::uint32_t type, const std::string& path, I_WavData& data,
                        const std::function<bool(const SampleBytesWriter&)>& produce,
                        std::string& error, const I_WavInfo* layout) {
  const I_WavInfo& info = layout != nullptr ? *layout : *data.GetWavInfo();
  SF_INFO format = WriteInfoFor(type, info, error);
  if (format.format == 0) {
    return 0;
  }
  auto file = CreateAtomicOutput(path, error);
  if (!file) {
    return 0;
  }
  SNDFILE* out = sf_open_fd(file->Descriptor(), SFM_WRITE, &format, SF_FALSE);
  if (out == nullptr) {
    error = platform::FormatText("the encoder refused it (%s)", sf_strerror(nullptr));
    return 0;
  }
  // A lossy source is encoded again at the setting whose bitrate comes nearest its own (a file
  // about as large as it); any other at the encoder's highest quality. Values beyond full scale
  // are limited, not wrapped, where an integer encoding is written from floats.
  const C_LossySetting setting = LossySettingFor(type, info.GetSampleRate(), info.GetChannels(),
                                                 data.GetWriteParam().lossyBitrate);
  if (setting.constantBitrate) {
    int mode = SF_BITRATE_MODE_CONSTANT;
    sf_command(out, SFC_SET_BITRATE_MODE, &mode, sizeof mode);
  }
  double level = setting.level;
  sf_command(out, SFC_SET_COMPRESSION_LEVEL, &level, sizeof level);
  sf_command(out, SFC_SET_CLIPPING, nullptr, SF_TRUE);
  for (const C_WavDataTextInfo::C_Tag& tag : data.TextInfo().Tags()) {
    for (const auto& [id, kind] : kTagKinds) {
      if (kind == tag.kind) {
        sf_set_string(out, id, tag.text.c_str());
      }
    }
  }
  SndSampleWriter writer(out, HeldLayoutOf(info));
  const bool written = produce([&writer](const std::uint8_t* bytes, std::size_t size) {
                         return writer.Write(bytes, size);
                       }) &&
                       writer.Finish();
  const std::string encoderError = written ? std::string() : sf_strerror(out);
  const int closed = sf_close(out);
  if (!written || closed != 0) {
    error = written ? std::string("the encoder could not finish the file")
                    : platform::FormatText("the encoder stopped (%s)", encoderError.c_str());
    return 0;
  }
  if (!file->Commit(false)) {
    error = platform::DescribeFileError(file->ErrorNumber());
    return 0;
  }
  return 1;
}

int C_SndFile::WriteFile(const std::string& path) {
  m_writeError.clear();
  I_WavData* data = Container();
  if (data == nullptr || data->GetWavInfo() == nullptr || data->GetDataLength() == 0) {
    m_writeError = "there are no samples to write";
    return 0;
  }
  const std::uint8_t* bytes = data->GetBuffer();
  const std::uint32_t size = data->GetDataLength();
  return WriteSndFileSamples(
      m_formatType, path, *data,
      [bytes, size](const SampleBytesWriter& write) { return write(bytes, size); }, m_writeError);
}
