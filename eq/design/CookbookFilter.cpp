// Shelf and notch sections from the audio-EQ cookbook's formulas.
#include "eq/design/CookbookFilter.h"

#include <cmath>
#include <numbers>

namespace {

// The section b0..a2 divided by a0, a0 stored as 1.
BiquadCoefs Normalised(double b0, double b1, double b2, double a0, double a1, double a2) {
  return BiquadCoefs{b0 / a0, b1 / a0, b2 / a0, a0 / a0, a1 / a0, a2 / a0};
}

BellFilter SectionHeader(double centFreq, double gain, double qual, double sampleRate) {
  BellFilter filter;
  filter.sampleRate = sampleRate;
  filter.centFreq = centFreq;
  filter.gain = gain;
  filter.qual = qual;
  return filter;
}

}  // namespace

BellFilter DesignShelfFilter(bool highShelf, double centFreq, double gain, double qual,
                             double sampleRate) {
  BellFilter shelf = SectionHeader(centFreq, gain, qual, sampleRate);
  const double A = std::pow(10.0, gain / 40.0);
  const double w0 = 2.0 * std::numbers::pi * centFreq / sampleRate;
  const double cosW0 = std::cos(w0);
  const double alpha = std::sin(w0) / (2.0 * qual);
  const double twoSqrtAAlpha = 2.0 * std::sqrt(A) * alpha;
  if (highShelf) {
    shelf.coefs = Normalised(
        A * ((A + 1) + (A - 1) * cosW0 + twoSqrtAAlpha), -2.0 * A * ((A - 1) + (A + 1) * cosW0),
        A * ((A + 1) + (A - 1) * cosW0 - twoSqrtAAlpha), (A + 1) - (A - 1) * cosW0 + twoSqrtAAlpha,
        2.0 * ((A - 1) - (A + 1) * cosW0), (A + 1) - (A - 1) * cosW0 - twoSqrtAAlpha);
  } else {
    shelf.coefs = Normalised(
        A * ((A + 1) - (A - 1) * cosW0 + twoSqrtAAlpha), 2.0 * A * ((A - 1) - (A + 1) * cosW0),
        A * ((A + 1) - (A - 1) * cosW0 - twoSqrtAAlpha), (A + 1) + (A - 1) * cosW0 + twoSqrtAAlpha,
        -2.0 * ((A - 1) + (A + 1) * cosW0), (A + 1) + (A - 1) * cosW0 - twoSqrtAAlpha);
  }
  return shelf;
}

BellFilter DesignNotchFilter(double centFreq, double qual, double sampleRate) {
  BellFilter notch = SectionHeader(centFreq, 0.0, qual, sampleRate);
  const double w0 = 2.0 * std::numbers::pi * centFreq / sampleRate;
  const double cosW0 = std::cos(w0);
  const double alpha = std::sin(w0) / (2.0 * qual);
  notch.coefs = Normalised(1.0, -2.0 * cosW0, 1.0, 1.0 + alpha, -2.0 * cosW0, 1.0 - alpha);
  return notch;
}

double ShelfQualFromSlope(double gain, double slope) {
  const double A = std::pow(10.0, gain / 40.0);
  return 1.0 / std::sqrt((A + 1.0 / A) * (1.0 / slope - 1.0) + 2.0);
}
