// Welch's spectrum estimate through kissfft's real transform.
#include "analysis/LongTermPower.h"

#include <kiss_fftr.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <numbers>

namespace {

struct FftrDeleter {
  void operator()(kiss_fftr_state* cfg) const { kiss_fftr_free(cfg); }
};

}  // namespace

std::size_t SpectrumFftSize(double sampleRate) {
  const double exponent = std::round(std::log2(std::max(sampleRate, 80.0) / 5.0));
  return std::size_t{1} << static_cast<int>(std::clamp(exponent, 4.0, 20.0));
}

LongTermPower WelchSpectrum(std::span<const float> mono, double sampleRate,
                            const std::stop_token& stop) {
  LongTermPower spectrum;
  spectrum.sampleRate = sampleRate;
  const std::size_t n = SpectrumFftSize(sampleRate);
  spectrum.fftSize = n;
  const std::unique_ptr<kiss_fftr_state, FftrDeleter> cfg(
      kiss_fftr_alloc(static_cast<int>(n), 0, nullptr, nullptr));
  std::vector<float> window(n);
  for (std::size_t i = 0; i < n; ++i) {
    window[i] =
        static_cast<float>(0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * static_cast<double>(i) /
                                                static_cast<double>(n)));
  }
  std::vector<double> power(n / 2 + 1, 0.0);
  std::vector<float> frame(n);
  std::vector<kiss_fft_cpx> bins(n / 2 + 1);
  std::size_t segments = 0;
  for (std::size_t start = 0; segments == 0 || start + n <= mono.size(); start += n / 2) {
    if (stop.stop_requested()) {
      return LongTermPower{.sampleRate = sampleRate, .fftSize = n, .powerDb = {}, .maxDb = 0.0};
    }
    for (std::size_t i = 0; i < n; ++i) {
      frame[i] = start + i < mono.size() ? mono[start + i] * window[i] : 0.0F;
    }
    kiss_fftr(cfg.get(), frame.data(), bins.data());
    for (std::size_t k = 0; k < bins.size(); ++k) {
      power[k] +=
          static_cast<double>(bins[k].r) * bins[k].r + static_cast<double>(bins[k].i) * bins[k].i;
    }
    ++segments;
  }
  spectrum.powerDb.resize(power.size());
  spectrum.maxDb = -400.0;
  for (std::size_t k = 0; k < power.size(); ++k) {
    spectrum.powerDb[k] = 10.0 * std::log10(power[k] / static_cast<double>(segments) + 1e-30);
    if (k > 0) {
      spectrum.maxDb = std::max(spectrum.maxDb, spectrum.powerDb[k]);
    }
  }
  return spectrum;
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
