// Reading the start of a recording for its spectrum.
#include "analysis/RecordingReader.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <utility>

#include "LibProject/Audio/WaveFileUtil/WavFile.h"
#include "LibProject/Audio/WaveFileUtil/WavFileFormat.h"
#include "eq/fileio/FileSampleFormat.h"

float SampleAsFloat(SampleEncoding encoding, const std::uint8_t* p) {
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

namespace {

// Keeps the frames a streamed write passes through it, as they are, until it has enough or
// `stop` is requested; then it asks the write to stop (nothing is written anywhere).
class Capture final : public I_SampleBlockFilter {
 public:
  Capture(std::size_t frameBytes, std::size_t maxFrames, std::vector<std::uint8_t>& out,
          std::stop_token stop)
      : m_frameBytes(frameBytes),
        m_maxBytes(maxFrames * frameBytes),
        m_out(out),
        m_stop(std::move(stop)) {}

  std::size_t FrameBytes() const override { return m_frameBytes; }
  std::size_t LagFrames() const override { return 0; }
  std::pair<std::ptrdiff_t, std::ptrdiff_t> Filter(std::uint8_t* block, std::size_t frames,
                                                   bool /*final*/) override {
    const std::size_t take = std::min(frames * m_frameBytes, m_maxBytes - m_out.size());
    m_out.insert(m_out.end(), block, block + take);
    return {0, static_cast<std::ptrdiff_t>(frames)};
  }
  bool Stopped() const override { return m_out.size() >= m_maxBytes || m_stop.stop_requested(); }

 private:
  std::size_t m_frameBytes;
  std::size_t m_maxBytes;
  std::vector<std::uint8_t>& m_out;
  std::stop_token m_stop;
};

// Says so in `error` when `stop` is requested.
bool StopRequested(const std::stop_token& stop, std::string& error) {
  if (!stop.stop_requested()) {
    return false;
  }
  error = "the reading was stopped";
  return true;
}

class DiscardSink final : public I_ByteSink {
 public:
  bool Write(const void* /*data*/, std::size_t /*size*/) override { return true; }
};

}  // namespace

std::optional<RecordingPcm> ReadRecordingPcm(const std::string& path, double maxSeconds,
                                             std::string& error, const std::stop_token& stop) {
  if (StopRequested(stop, error)) {
    return std::nullopt;
  }
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
  RecordingPcm result;
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
      result.format = *format;
      const std::uint64_t frames = file->GetSampleBytes64() / result.FrameBytes();  // whole
      result.totalSeconds = static_cast<double>(frames) / result.sampleRate;
      Capture capture(result.FrameBytes(), maxFrames, result.bytes, stop);
      DiscardSink sink;
      (void)wave->StreamInto(sink, capture, std::size_t{1} << 16);  // stops once it has enough
      if (StopRequested(stop, error)) {
        return std::nullopt;
      }
      result.bytes.resize(result.Frames() * result.FrameBytes());
      return result;
    }
  }
  // Formats that only load whole.
  if (StopRequested(stop, error)) {
    return std::nullopt;
  }
  try {
    file = registry.OpenFile(path, 1, 1);
  } catch (const std::runtime_error& e) {
    error = e.what();
    return std::nullopt;
  }
  if (StopRequested(stop, error)) {
    return std::nullopt;
  }
  const auto format = file ? FilterFormatOf(*file->GetWavData()->GetWavInfo()) : std::nullopt;
  if (!format) {
    error = "the file's samples cannot be read";
    return std::nullopt;
  }
  result.format = *format;
  I_WavData& data = *file->GetWavData();
  const std::size_t frames = data.GetDataLength() / result.FrameBytes();
  result.totalSeconds = static_cast<double>(frames) / result.sampleRate;
  const std::size_t take = std::min(frames, maxFrames) * result.FrameBytes();
  result.bytes.assign(data.GetBuffer(), data.GetBuffer() + take);
  return result;
}

std::vector<float> MonoFloats(const RecordingPcm& pcm) {
  const std::size_t sampleBytes = SampleBytes(pcm.format.encoding);
  const std::size_t frames = pcm.Frames();
  std::vector<float> mono(frames);
  for (std::size_t f = 0; f < frames; ++f) {
    float sum = 0.0F;
    for (std::uint16_t c = 0; c < pcm.channels; ++c) {
      sum += SampleAsFloat(pcm.format.encoding,
                           pcm.bytes.data() + (f * pcm.channels + c) * sampleBytes);
    }
    mono[f] = sum / static_cast<float>(pcm.channels);
  }
  return mono;
}

std::optional<RecordingSamples> ReadRecording(const std::string& path, double maxSeconds,
                                              std::string& error, const std::stop_token& stop) {
  const auto pcm = ReadRecordingPcm(path, maxSeconds, error, stop);
  if (!pcm) {
    return std::nullopt;
  }
  return RecordingSamples{MonoFloats(*pcm), pcm->sampleRate, pcm->channels, pcm->totalSeconds};
}
