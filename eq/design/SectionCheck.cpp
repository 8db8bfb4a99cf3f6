#include "eq/design/SectionCheck.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// Points of the frequency grid: dense enough for the sharpest peaks of steep cascades (the
// ratio between neighbours is under 0.5 %).
constexpr int kGridPoints = 4096;

// How close to zero a sum of coefficients must come to count as a root at z = +1 or -1: the
// rounding of coefficients near 1 leaves a few units in the last place.
constexpr double kRootTolerance = 1e-12;

bool PolesInside(double a1, double a2) {
  // Denominator z^2 + a1 z + a2: both poles lie inside the unit circle exactly when |a2| < 1
  // and |a1| < 1 + a2. Written so that a NaN fails.
  return a2 < 1.0 && a2 > -1.0 && std::fabs(a1) < 1.0 + a2;
}

bool IsStable(const BiquadCoefs& c) {
  if (PolesInside(c.a1, c.a2)) {
    return true;
  }
  // The real pole of an odd Butterworth order is stored as a second-order section with a pole
  // and a zero both at z = +1 (high-pass) or z = -1 (low-pass), which cancel. When numerator and
  // denominator share such a root, the section is stable if its other pole, a2 for a root at +1
  // and -a2 for one at -1, lies inside.
  const double scale = 1.0 + std::fabs(c.a1) + std::fabs(c.a2);
  for (const double z : {1.0, -1.0}) {
    const double den = (1.0 + z * c.a1) + c.a2;
    const double num = (c.b0 + z * c.b1) + c.b2;
    if (std::fabs(den) <= kRootTolerance * scale &&
        std::fabs(num) <= kRootTolerance * (std::fabs(c.b0) + std::fabs(c.b1) + std::fabs(c.b2))) {
      return c.a2 < 1.0 && c.a2 > -1.0;
    }
  }
  return false;
}

// One grid frequency, with the terms the evaluation needs.
struct GridPoint {
  double s;     // sin^2(w / 2)
  double sinW;  // sin(w)
  double cosW;  // cos(w)
};

// |p0 + p1 e^-jw + p2 e^-2jw|^2, with cos w = 1 - 2s and cos 2w = 1 - 8s(1 - s) so that the
// real part keeps its precision near w = 0, where the sum p0 + p1 + p2 is small.
double SquaredMagnitude(double p0, double p1, double p2, const GridPoint& g) {
  const double re = ((p0 + p1) + p2) - 2.0 * g.s * p1 - 8.0 * g.s * (1.0 - g.s) * p2;
  const double im = -g.sinW * (p1 + 2.0 * p2 * g.cosW);
  return re * re + im * im;
}

}  // namespace

SectionCheckResult CheckSections(std::span<const BiquadCoefs> sections, double nominalMaxDb,
                                 double sampleRate, double bandFreq) {
  for (const BiquadCoefs& c : sections) {
    if (!IsStable(c)) {
      return {SectionFault::Unstable, 0.0};
    }
  }
  if (sections.empty()) {
    return {};
  }
  // The grid stays a hair inside 0 Hz and Nyquist, where the cancelled pole of an odd order
  // would make 0 / 0 of its section.
  const double nyquist = sampleRate * 0.5 * 0.9999;
  const double low = std::max(std::min(sampleRate * 1e-6, bandFreq / 10.0), sampleRate * 1e-7);
  const double ratio = std::pow(nyquist / low, 1.0 / (kGridPoints - 1));
  std::vector<GridPoint> grid(kGridPoints);
  double f = low;
  for (GridPoint& g : grid) {
    const double w = 2.0 * 3.141592653589793 * f / sampleRate;
    const double half = std::sin(w * 0.5);
    g = {half * half, std::sin(w), std::cos(w)};
    f *= ratio;
  }

  // Running magnitude squared of the sections so far, per grid point, as plain factors (the
  // range of a double covers the gains of any order the design allows).
  const double maxPartial = std::pow(10.0, kMaxCascadeGainDb / 10.0);
  std::vector<double> partial(grid.size(), 1.0);
  for (std::size_t k = 0; k < sections.size(); ++k) {
    const BiquadCoefs& c = sections[k];
    double peak = 0.0;
    for (std::size_t i = 0; i < grid.size(); ++i) {
      const double den = SquaredMagnitude(1.0, c.a1, c.a2, grid[i]);
      partial[i] *= SquaredMagnitude(c.b0, c.b1, c.b2, grid[i]) / den;
      if (!(partial[i] <= peak)) {
        peak = std::isnan(partial[i]) ? HUGE_VAL : partial[i];
      }
    }
    const double peakDb = 10.0 * std::log10(peak);
    if (k + 1 == sections.size()) {
      if (!(peakDb <= nominalMaxDb + kResponseMarginDb)) {
        return {SectionFault::ResponseTooHigh, peakDb};
      }
    } else if (!(peak <= maxPartial)) {
      return {SectionFault::Imprecise, peakDb};
    }
  }
  return {};
}
