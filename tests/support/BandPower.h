#pragma once

#include <cmath>
#include <cstddef>
#include <vector>

namespace testsupport {

/// The mean power of the first channel of `x` (`channels` interleaved, at `fs` Hz) between `f1`
/// and `f2` Hz: Hann windows of `size` samples, half overlapping, the DFT of each bin in the band
/// worked out directly and its power summed.
inline double BandPower(const std::vector<double>& x, int channels, double fs, double f1, double f2,
                        int size) {
  const double pi = 3.141592653589793;
  std::vector<double> window(size), cosine(size), sine(size), windowed(size);
  for (int n = 0; n < size; ++n) {
    window[n] = 0.5 - 0.5 * std::cos(2.0 * pi * n / size);
    cosine[n] = std::cos(2.0 * pi * n / size);
    sine[n] = std::sin(2.0 * pi * n / size);
  }
  double total = 0.0;
  int segments = 0;
  const auto step = static_cast<std::size_t>(channels);
  for (std::size_t start = 0; (start + size) * step <= x.size(); start += size / 2, ++segments) {
    for (int n = 0; n < size; ++n) windowed[n] = x[(start + n) * step] * window[n];
    for (int k = static_cast<int>(std::ceil(f1 * size / fs)); k <= f2 * size / fs; ++k) {
      double re = 0.0;
      double im = 0.0;
      for (int n = 0; n < size; ++n) {
        re += windowed[n] * cosine[(k * n) % size];
        im -= windowed[n] * sine[(k * n) % size];
      }
      total += re * re + im * im;
    }
  }
  return total / segments;
}

}  // namespace testsupport
