// A recording's samples as floats, and its start as one channel for its spectrum (the reading
// itself is the reading of a stretch, analysis/RecordingScan.cpp).
#include "analysis/RecordingReader.h"

#include <cstring>

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
