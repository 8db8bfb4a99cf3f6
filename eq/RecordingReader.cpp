// Reading the start of a recording for its spectrum.
#include "eq/RecordingReader.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "LibProject/Audio/WaveFileUtil/WavFile.h"
#include "LibProject/Audio/WaveFileUtil/WavFileFormat.h"
#include "eq/ConversionJob.h"

namespace {

// One sample of `encoding` at `p` as a float of full scale 1.0.
float SampleValue(SampleEncoding encoding, const std::uint8_t* p) {
  switch (encoding) {
    case SampleEncoding::Pcm8: return (static_cast<float>(p[0]) - 128.0F) / 128.0F;
    case SampleEncoding::Pcm16: {
      std::int16_t v;
      std::memcpy(&v, p, 2);
      return static_cast<float>(v) / 32768.0F;
    }
    case SampleEncoding::Pcm24: {
      const std::int32_t v = static_cast<std::int32_t>(static_cast<std::uint32_t>(p[0]) << 8 |
                                                       static_cast<std::uint32_t>(p[1]) << 16 |
                                                       static_cast<std::uint32_t>(p[2]) << 24) >>
                             8;
      return static_cast<float>(v) / 8388608.0F;
    }
    case SampleEncoding::Pcm32: {
      std::int32_t v;
      std::memcpy(&v, p, 4);
      return static_cast<float>(static_cast<double>(v) / 2147483648.0);
    }
    case SampleEncoding::Float32: {
      float v;
      std::memcpy(&v, p, 4);
      return v;
    }
    case SampleEncoding::Float64: {
      double v;
      std::memcpy(&v, p, 8);
      return static_cast<float>(v);
    }
  }
  return 0.0F;
}

// Takes the frames a streamed write passes through it, as mono floats, until it has enough;
// then it asks the write to stop (nothing is written anywhere).
class Capture final : public I_SampleBlockFilter {
 public:
  Capture(SampleEncoding encoding, std::uint16_t channels, std::size_t maxFrames,
          std::vector<float>& out)
      : m_encoding(encoding),
        m_channels(channels),
        m_sampleBytes(SampleBytes(encoding)),
        m_maxFrames(maxFrames),
        m_out(out) {}

  std::size_t FrameBytes() const override { return m_sampleBytes * m_channels; }
  std::size_t LagFrames() const override { return 0; }
  std::pair<std::ptrdiff_t, std::ptrdiff_t> Filter(std::uint8_t* block, std::size_t frames,
                                                   bool /*final*/) override {
    Append(m_encoding, m_channels, block, std::min(frames, m_maxFrames - m_out.size()), m_out);
    return {0, static_cast<std::ptrdiff_t>(frames)};
  }
  bool Stopped() const override { return m_out.size() >= m_maxFrames; }

  static void Append(SampleEncoding encoding, std::uint16_t channels, const std::uint8_t* block,
                     std::size_t frames, std::vector<float>& out) {
    const std::size_t sampleBytes = SampleBytes(encoding);
    for (std::size_t f = 0; f < frames; ++f) {
      float sum = 0.0F;
      for (std::uint16_t c = 0; c < channels; ++c) {
        sum += SampleValue(encoding, block + (f * channels + c) * sampleBytes);
      }
      out.push_back(sum / static_cast<float>(channels));
    }
  }

 private:
  SampleEncoding m_encoding;
  std::uint16_t m_channels;
  std::size_t m_sampleBytes;
  std::size_t m_maxFrames;
  std::vector<float>& m_out;
};

class DiscardSink final : public ByteSink {
 public:
  bool Write(const void* /*data*/, std::size_t /*size*/) override { return true; }
};

}  // namespace

std::optional<RecordingSamples> ReadRecording(const std::string& path, double maxSeconds,
                                              std::string& error) {
  C_WavFileFormat registry;
  T_RefPtr<I_WavFile> file;
  try {
    file = registry.OpenFile(path, 0, 1);
  } catch (const std::runtime_error& e) {
    error = e.what();
    return std::nullopt;
  }
  if (!file || file->GetWavData() == nullptr || file->GetWavData()->GetWavInfo() == nullptr) {
    error = "the file cannot be read as a recording";
    return std::nullopt;
  }
  RecordingSamples result;
  const I_WavInfo* info = file->GetWavData()->GetWavInfo();
  result.sampleRate = static_cast<double>(info->GetSampleRate());
  result.channels = info->GetChannels();
  if (result.sampleRate <= 0.0 || result.channels == 0) {
    error = "the file holds no samples";
    return std::nullopt;
  }
  const auto maxFrames = static_cast<std::size_t>(std::max(0.0, maxSeconds) * result.sampleRate);
  auto* wave = dynamic_cast<C_WavFile*>(file.Get());
  if (wave != nullptr && file->CanStream() && file->PrepareStream()) {
    if (const auto format = FilterFormatOf(*info)) {
      const std::uint64_t frameBytes = SampleBytes(format->encoding) * result.channels;
      const std::uint64_t frames = file->GetSampleBytes64() / frameBytes;  // whole frames
      result.totalSeconds = static_cast<double>(frames) / result.sampleRate;
      Capture capture(format->encoding, result.channels, maxFrames, result.mono);
      DiscardSink sink;
      (void)wave->StreamInto(sink, capture, std::size_t{1} << 16);  // stops once it has enough
      return result;
    }
  }
  // Formats that only load whole.
  try {
    file = registry.OpenFile(path, 1, 1);
  } catch (const std::runtime_error& e) {
    error = e.what();
    return std::nullopt;
  }
  const auto format = file ? FilterFormatOf(*file->GetWavData()->GetWavInfo()) : std::nullopt;
  if (!format) {
    error = "the file's samples cannot be read";
    return std::nullopt;
  }
  I_WavData& data = *file->GetWavData();
  const std::size_t frameBytes = SampleBytes(format->encoding) * result.channels;
  const std::size_t frames = data.GetDataLength() / frameBytes;
  result.totalSeconds = static_cast<double>(frames) / result.sampleRate;
  Capture::Append(format->encoding, result.channels, data.GetBuffer(), std::min(frames, maxFrames),
                  result.mono);
  return result;
}
