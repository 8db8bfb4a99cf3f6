#include "eq/design/SectionCheck.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <span>
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

// |H|^2 of the cookbook's low shelf at x = Omega^2 (see IdealResponse).
double LowShelfSquared(double A, double qual, double x) {
  const double slope = A * x / (qual * qual);
  const double num = (A - x) * (A - x) + slope;
  const double den = (1.0 - A * x) * (1.0 - A * x) + slope;
  return A * A * num / den;
}

// The highest |H| of the cookbook shelf with gain factor A (either side, the high shelf's values
// are the low shelf's at 1 / Omega): the larger plateau, A^2 or 1, unless the slope overshoots.
// With N(x) and D(x) the numerator and denominator above, (N / D)' = 0 reduces to
// (1 - A^2)(c x^2 + 2 (1 + A^2) x + c) = 0 with c = A (1 / Q^2 - 2), whose roots are real,
// positive and each other's reciprocal when c < 0 (Q above 0.7071): one is the overshoot, the
// other the undershoot.
double ShelfPeak(double A, double qual) {
  double peakSquared = std::max(A * A * A * A, 1.0);
  const double c = A * (1.0 / (qual * qual) - 2.0);
  const double b = 1.0 + A * A;
  if (c < 0.0 && A != 1.0) {
    const double root = std::sqrt(std::max(b * b - c * c, 0.0));
    for (const double x : {(-b - root) / c, (-b + root) / c}) {
      if (x > 0.0 && std::isfinite(x)) {
        peakSquared = std::max(peakSquared, LowShelfSquared(A, qual, x));
      }
    }
  }
  return std::sqrt(peakSquared);
}

}  // namespace

IdealResponse IdealResponse::Of(const EqBand& band, unsigned order, double sampleRate) {
  IdealResponse ideal;
  ideal.m_type = band.type;
  ideal.m_sampleRate = sampleRate;
  ideal.m_qual = band.qual;
  ideal.m_order = order;
  const double bandFreq = IsPassType(band.type) ? band.cutoffFreq : band.centFreq;
  ideal.m_tanBand = std::tan(std::numbers::pi * bandFreq / sampleRate);
  switch (static_cast<EqBandType>(band.type)) {
    case EqBandType::Bell:
      ideal.m_factor = std::pow(10.0, std::fabs(band.gain) / 20.0);
      ideal.m_cut = band.gain < 0.0;
      ideal.m_peak = ideal.m_cut ? 1.0 : ideal.m_factor;
      break;
    case EqBandType::LowShelf:
    case EqBandType::HighShelf:
      ideal.m_factor = std::pow(10.0, band.gain / 40.0);
      ideal.m_peak = ShelfPeak(ideal.m_factor, band.qual);
      break;
    default: ideal.m_peak = 1.0; break;
  }
  return ideal;
}

double IdealResponse::Magnitude(double freq) const {
  const double omega = std::tan(std::numbers::pi * freq / m_sampleRate) / m_tanBand;
  const double x = omega * omega;
  const double off = (1.0 - x) * (1.0 - x);
  const double width = x / (m_qual * m_qual);
  switch (static_cast<EqBandType>(m_type)) {
    case EqBandType::Bell: {
      const double boosted = off + m_factor * m_factor * width;
      return std::sqrt(m_cut ? (off + width) / boosted : boosted / (off + width));
    }
    case EqBandType::Notch: return std::sqrt(off / (off + width));
    case EqBandType::LowShelf: return std::sqrt(LowShelfSquared(m_factor, m_qual, x));
    case EqBandType::HighShelf:
      // The high shelf at Omega is the low shelf at 1 / Omega.
      return std::sqrt(LowShelfSquared(m_factor, m_qual, 1.0 / x));
    case EqBandType::LowPass:
      return 1.0 / std::sqrt(1.0 + std::pow(x, static_cast<double>(m_order)));
    case EqBandType::HighPass:
      return 1.0 / std::sqrt(1.0 + std::pow(x, -static_cast<double>(m_order)));
  }
  return 1.0;
}

namespace {

// The log-spaced grid the check evaluates on, from a low frequency tied to the band's up to a
// hair below Nyquist: the grid stays a hair inside 0 Hz and Nyquist, where the cancelled pole
// of an odd order would make 0 / 0 of its section.
void BuildGrid(double sampleRate, double bandFreq, std::vector<GridPoint>& grid,
               std::vector<double>& freqs) {
  const double nyquist = sampleRate * 0.5 * 0.9999;
  const double low = std::max(std::min(sampleRate * 1e-6, bandFreq / 10.0), sampleRate * 1e-7);
  const double ratio = std::pow(nyquist / low, 1.0 / (kGridPoints - 1));
  grid.assign(kGridPoints, GridPoint{});
  freqs.assign(kGridPoints, 0.0);
  double f = low;
  for (std::size_t i = 0; i < grid.size(); ++i) {
    const double w = 2.0 * 3.141592653589793 * f / sampleRate;
    const double half = std::sin(w * 0.5);
    grid[i] = {half * half, std::sin(w), std::cos(w)};
    freqs[i] = f;
    f *= ratio;
  }
}

// Multiplies section `c`'s magnitude squared into `partial` at each grid point.
void MultiplySection(const BiquadCoefs& c, const std::vector<GridPoint>& grid,
                     std::vector<double>& partial, std::size_t i) {
  const double den = SquaredMagnitude(1.0, c.a1, c.a2, grid[i]);
  partial[i] *= SquaredMagnitude(c.b0, c.b1, c.b2, grid[i]) / den;
}

// Running magnitude squared of the sections but the last, per grid point, as plain factors (the
// range of a double covers the gains of any order the design allows); Imprecise when a partial
// cascade rises above kMaxCascadeGainDb.
SectionCheckResult CheckPartialCascades(std::span<const BiquadCoefs> sections,
                                        const std::vector<GridPoint>& grid,
                                        const std::vector<double>& freqs,
                                        std::vector<double>& partial) {
  const double maxPartial = std::pow(10.0, kMaxCascadeGainDb / 10.0);
  partial.assign(grid.size(), 1.0);
  for (std::size_t k = 0; k + 1 < sections.size(); ++k) {
    double peak = 0.0;
    std::size_t at = 0;
    for (std::size_t i = 0; i < grid.size(); ++i) {
      MultiplySection(sections[k], grid, partial, i);
      if (!(partial[i] <= peak)) {
        peak = std::isnan(partial[i]) ? HUGE_VAL : partial[i];
        at = i;
      }
    }
    if (!(peak <= maxPartial)) {
      return {SectionFault::Imprecise, 10.0 * std::log10(peak), freqs[at], 0.0};
    }
  }
  return {};
}

}  // namespace

SectionCheckResult CheckSections(std::span<const BiquadCoefs> sections, const IdealResponse& ideal,
                                 double sampleRate, double bandFreq) {
  for (const BiquadCoefs& c : sections) {
    if (!IsStable(c)) {
      return {SectionFault::Unstable, 0.0};
    }
  }
  if (sections.empty()) {
    return {};
  }
  std::vector<GridPoint> grid;
  std::vector<double> freqs;
  BuildGrid(sampleRate, bandFreq, grid, freqs);
  std::vector<double> partial;
  if (const SectionCheckResult partials = CheckPartialCascades(sections, grid, freqs, partial);
      partials.fault != SectionFault::None) {
    return partials;
  }
  // The whole cascade against the ideal: at no frequency may it rise above the ideal by more
  // than the margin's share of the ideal's peak. A value that is not a number always fails.
  const double allowance = (std::pow(10.0, kResponseMarginDb / 20.0) - 1.0) * ideal.Peak();
  double worst = 0.0;
  std::size_t at = grid.size();
  for (std::size_t i = 0; i < grid.size(); ++i) {
    MultiplySection(sections.back(), grid, partial, i);
    const double excess = std::sqrt(partial[i]) - (ideal.Magnitude(freqs[i]) + allowance);
    if (!(excess <= worst)) {
      worst = std::isnan(excess) ? HUGE_VAL : excess;
      at = i;
    }
  }
  if (at < grid.size()) {
    return {SectionFault::ResponseTooHigh, 10.0 * std::log10(partial[at]), freqs[at],
            20.0 * std::log10(ideal.Magnitude(freqs[at]))};
  }
  return {};
}
