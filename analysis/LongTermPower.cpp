// Welch's spectrum estimate through kissfft's real transform.
#include "analysis/LongTermPower.h"

#include <kiss_fftr.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <numbers>

#include "analysis/RecordingReader.h"
#include "analysis/RecordingScan.h"

namespace {

struct FftrDeleter {
  void operator()(kiss_fftr_state* cfg) const { kiss_fftr_free(cfg); }
};

}  // namespace

std::size_t SpectrumFftSize(double sampleRate) {
  const double exponent = std::round(std::log2(std::max(sampleRate, 80.0) / 5.0));
  return std::size_t{1} << static_cast<int>(std::clamp(exponent, 4.0, 20.0));
}

struct WelchAccumulator::Transform {
  std::unique_ptr<kiss_fftr_state, FftrDeleter> cfg;
  std::vector<float> frame;
  std::vector<kiss_fft_cpx> bins;
};

WelchAccumulator::WelchAccumulator(double sampleRate)
    : m_sampleRate(sampleRate),
      m_size(SpectrumFftSize(sampleRate)),
      m_transform(std::make_unique<Transform>()),
      m_window(m_size),
      m_power(m_size / 2 + 1, 0.0) {
  m_transform->cfg.reset(kiss_fftr_alloc(static_cast<int>(m_size), 0, nullptr, nullptr));
  m_transform->frame.resize(m_size);
  m_transform->bins.resize(m_size / 2 + 1);
  for (std::size_t i = 0; i < m_size; ++i) {
    m_window[i] =
        static_cast<float>(0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * static_cast<double>(i) /
                                                static_cast<double>(m_size)));
  }
  m_pending.reserve(m_size);
}

WelchAccumulator::~WelchAccumulator() = default;

void WelchAccumulator::RunWindow() {
  std::vector<float>& frame = m_transform->frame;
  for (std::size_t i = 0; i < m_size; ++i) {
    frame[i] = i < m_pending.size() ? m_pending[i] * m_window[i] : 0.0F;
  }
  std::vector<kiss_fft_cpx>& bins = m_transform->bins;
  kiss_fftr(m_transform->cfg.get(), frame.data(), bins.data());
  for (std::size_t k = 0; k < bins.size(); ++k) {
    m_power[k] +=
        static_cast<double>(bins[k].r) * bins[k].r + static_cast<double>(bins[k].i) * bins[k].i;
  }
  ++m_segments;
}

void WelchAccumulator::Add(std::span<const float> mono) {
  // Windows start every half window: once a whole window is pending it is transformed, and its
  // first half is no longer needed.
  while (!mono.empty()) {
    const std::size_t take = std::min(mono.size(), m_size - m_pending.size());
    m_pending.insert(m_pending.end(), mono.begin(),
                     mono.begin() + static_cast<std::ptrdiff_t>(take));
    mono = mono.subspan(take);
    if (m_pending.size() == m_size) {
      RunWindow();
      m_pending.erase(m_pending.begin(),
                      m_pending.begin() + static_cast<std::ptrdiff_t>(m_size / 2));
    }
  }
}

LongTermPower WelchAccumulator::Finish() {
  if (m_segments == 0) {
    RunWindow();  // fewer samples than one window: one zero-padded window
  }
  LongTermPower spectrum;
  spectrum.sampleRate = m_sampleRate;
  spectrum.fftSize = m_size;
  spectrum.powerDb.resize(m_power.size());
  spectrum.maxDb = -400.0;
  for (std::size_t k = 0; k < m_power.size(); ++k) {
    spectrum.powerDb[k] = 10.0 * std::log10(m_power[k] / static_cast<double>(m_segments) + 1e-30);
    if (k > 0) {
      spectrum.maxDb = std::max(spectrum.maxDb, spectrum.powerDb[k]);
    }
  }
  return spectrum;
}

LongTermPower WelchSpectrum(std::span<const float> mono, double sampleRate,
                            const std::stop_token& stop) {
  WelchAccumulator welch(sampleRate);
  // Fed half a window at a time: each step completes at most one window.
  const std::size_t step = SpectrumFftSize(sampleRate) / 2;
  do {
    if (stop.stop_requested()) {
      return LongTermPower{.sampleRate = sampleRate,
                           .fftSize = SpectrumFftSize(sampleRate),
                           .powerDb = {},
                           .maxDb = 0.0};
    }
    const std::size_t take = std::min(step, mono.size());
    welch.Add(mono.first(take));
    mono = mono.subspan(take);
  } while (!mono.empty());
  return welch.Finish();
}

std::optional<LongTermPower> SelectionSpectrum(const std::string& path, std::uint64_t firstFrame,
                                               std::uint64_t endFrame, const std::stop_token& stop,
                                               std::string& error) {
  std::unique_ptr<WelchAccumulator> welch;
  RecordingLayout layout;
  std::vector<float> mono;
  const bool read = ScanRecording(
      path, firstFrame, endFrame,
      [&](const RecordingLayout& found) {
        layout = found;
        welch = std::make_unique<WelchAccumulator>(found.sampleRate);
        return true;
      },
      [&](const std::uint8_t* frames, std::size_t count) {
        // The channels averaged as MonoFloats averages them.
        const std::size_t sampleBytes = SampleBytes(layout.format.encoding);
        mono.resize(count);
        for (std::size_t f = 0; f < count; ++f) {
          float sum = 0.0F;
          for (std::uint16_t c = 0; c < layout.channels; ++c) {
            sum += SampleAsFloat(layout.format.encoding,
                                 frames + (f * layout.channels + c) * sampleBytes);
          }
          mono[f] = sum / static_cast<float>(layout.channels);
        }
        welch->Add(mono);
      },
      stop, error);
  if (!read) {
    return std::nullopt;
  }
  return welch->Finish();
}

double SpectrumDbAt(const LongTermPower& spectrum, double freq) {
  if (spectrum.powerDb.empty() || spectrum.sampleRate <= 0.0) {
    return -400.0;
  }
  const double bin = freq * static_cast<double>(spectrum.fftSize) / spectrum.sampleRate;
  const double last = static_cast<double>(spectrum.powerDb.size() - 1);
  const double at = std::clamp(bin, 0.0, last);
  const auto low = static_cast<std::size_t>(std::floor(at));
  const std::size_t high = std::min(low + 1, spectrum.powerDb.size() - 1);
  const double t = at - static_cast<double>(low);
  return spectrum.powerDb[low] * (1.0 - t) + spectrum.powerDb[high] * t;
}
