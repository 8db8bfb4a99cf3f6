#include "analysis/RecordingLoudness.h"

#include <cstdint>
#include <limits>
#include <vector>

#include "analysis/PlaybackRenderer.h"
#include "analysis/RecordingReader.h"
#include "analysis/RecordingScan.h"
#include "delivery/LoudnessMeter.h"

namespace {

// One measurement over the blocks: the loudness and the true peak as two parts (the true-peak
// part passes over the pieces that cannot raise the peak), and the values of a block for them.
struct Measured {
  delivery::LoudnessMeter loudness;
  delivery::LoudnessMeter peak;
  std::vector<double> values;

  void Add(SampleEncoding encoding, const std::uint8_t* bytes, std::size_t samples) {
    const std::size_t width = SampleBytes(encoding);
    values.resize(samples);
    for (std::size_t i = 0; i < samples; ++i) {
      values[i] = SampleAsFloat(encoding, bytes + i * width);
    }
    loudness.Add(values);
    peak.Add(values);
  }
  LoudnessLevel Level() const {
    return {loudness.Result().integratedLufs, peak.Result().truePeakDbtp};
  }
};

}  // namespace

std::optional<RecordingLoudness> MeasureRecordingLoudness(const std::string& path, bool withSource,
                                                          const EqBandTable* bands,
                                                          const std::stop_token& stop,
                                                          std::string& error) {
  if (!delivery::LoudnessMeterAvailable()) {
    error = "this build has no loudness meter";
    return std::nullopt;
  }
  RecordingLayout layout;
  std::optional<Measured> source;
  std::optional<Measured> equalized;
  std::optional<PlaybackRenderer> renderer;
  std::vector<std::uint8_t> block;
  const auto begin = [&](const RecordingLayout& found) {
    layout = found;
    const auto rate = static_cast<std::uint32_t>(found.sampleRate);
    for (std::optional<Measured>* measured : {&source, &equalized}) {
      const bool wanted = measured == &source ? withSource : bands != nullptr;
      if (!wanted) {
        continue;
      }
      using Parts = delivery::LoudnessMeter::Parts;
      auto loudness = delivery::LoudnessMeter::Create(found.channels, rate, 1.0, Parts::Loudness);
      auto peak = delivery::LoudnessMeter::Create(found.channels, rate, 1.0, Parts::TruePeak);
      if (!loudness || !peak) {
        error = "the loudness meter does not take its layout";
        return false;
      }
      measured->emplace(Measured{std::move(*loudness), std::move(*peak), {}});
    }
    if (bands != nullptr) {
      renderer.emplace(found.format, found.channels, found.sampleRate);
      renderer->SetBands(*bands);
    }
    return true;
  };
  const auto add = [&](const std::uint8_t* frames, std::size_t count) {
    const std::size_t samples = count * layout.channels;
    if (source) {
      source->Add(layout.format.encoding, frames, samples);
    }
    if (equalized) {
      block.assign(frames, frames + count * layout.FrameBytes());
      renderer->Render(block.data(), count);
      equalized->Add(layout.format.encoding, block.data(), samples);
    }
  };
  if (!ScanRecording(path, 0, std::numeric_limits<std::uint64_t>::max(), begin, add, stop, error)) {
    return std::nullopt;
  }
  RecordingLoudness loudness;
  if (source) {
    loudness.source = source->Level();
  }
  if (equalized) {
    loudness.equalized = equalized->Level();
  }
  return loudness;
}
