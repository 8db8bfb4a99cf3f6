#include "tests/support/RandomBands.h"

#include <algorithm>

namespace testsupport {

EqBandTable RandomBandTable(std::mt19937& rng, double fs) {
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  EqBandTable table;
  const int bands = static_cast<int>(unit(rng) * 12);
  for (int i = 0; i < bands; ++i) {
    const double kind = unit(rng);
    EqBand band;
    band.enable = unit(rng) < 0.85 ? 1 : 0;
    band.index = static_cast<std::uint32_t>(i);
    if (kind < 0.6) {
      band.type = 1;
      band.gain = -24 + unit(rng) * 48;
      band.qual = 0.1 + unit(rng) * 10;
      band.centFreq = 10 + unit(rng) * (fs * 0.5 - 10);
    } else {
      band.type = kind < 0.8 ? 2 : 3;
      band.gain = unit(rng) * 60;
      band.cutoffFreq = 20 + unit(rng) * (fs * 0.45);
      const double ratio = 1.05 + unit(rng) * 3;
      band.stopFreq =
          band.type == 2 ? band.cutoffFreq / ratio : std::min(fs * 0.5, band.cutoffFreq * ratio);
    }
    table.push_back(band);
  }
  return table;
}

}  // namespace testsupport
