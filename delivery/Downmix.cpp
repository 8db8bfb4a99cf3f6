#include "Downmix.h"

#include <cassert>

namespace delivery {

void DownmixToMono(std::span<const double> interleaved, unsigned channels, std::span<double> mono) {
  assert(channels > 0 && interleaved.size() % channels == 0);
  const std::size_t frames = interleaved.size() / channels;
  assert(mono.size() >= frames);
  const auto count = static_cast<double>(channels);
  const double* in = interleaved.data();
  for (std::size_t f = 0; f < frames; ++f) {
    double sum = in[0];
    for (unsigned c = 1; c < channels; ++c) {
      sum += in[c];
    }
    in += channels;
    mono[f] = sum / count;
  }
}

}  // namespace delivery
