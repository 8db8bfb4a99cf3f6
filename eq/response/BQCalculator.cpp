#include "eq/response/BQCalculator.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "eq/design/FilterChain.h"

namespace {

constexpr double kPi = 3.141592653589793;

// Keeps a real part away from zero so the phase quotient is defined: a zero becomes +1e-10.
double ClampRealPart(double value) {
  if (value >= 0) {
    value = std::max(1e-10, value);
  }
  if (value <= 0) {
    value = std::min(-1e-10, value);
  }
  return value;
}

// A pixel row as a 32-bit position: truncated toward zero; values beyond the 32-bit range (a
// graph whose dB range is empty, an infinite sum) are limited, and a value that is not a number
// gives row 0, instead of an undefined conversion.
std::int32_t ToRow(double y) {
  if (std::isnan(y)) {
    return 0;
  }
  if (y >= 2147483647.0) {
    return std::numeric_limits<std::int32_t>::max();
  }
  if (y <= -2147483648.0) {
    return std::numeric_limits<std::int32_t>::min();
  }
  return static_cast<std::int32_t>(y);
}

}  // namespace

void EvaluateSectionResponse(const EqGraphParams& params, std::span<ResponsePoint> points,
                             const BiquadCoefs& coefs) {
  const std::uint32_t n = params.width;
  const double steps = static_cast<double>(n - 1U);
  const double step = 1.0 / steps;
  const double ratio = std::exp(std::log(params.maxFreq / params.minFreq) / steps);
  double u = params.minFreq / (params.sampleRate * 0.5);
  const double ln10 = std::log(10.0);
  const double b0 = coefs.b0, b1 = coefs.b1, b2 = coefs.b2;
  const double a0 = coefs.a0, a1 = coefs.a1, a2 = coefs.a2;

  for (std::uint32_t i = 0; i < n && i < points.size(); ++i) {
    const double omega = u * kPi;
    const double c = std::cos(omega);
    const double s = std::sin(omega);
    const double c2 = c * c - s * s;

    // The brackets are part of the result: regrouped, the sums round differently and a curve
    // row can move by one pixel.
    const double br = ClampRealPart((c * b1 + b0) + c2 * b2);
    const double bi = -(((b2 + b2) * c) * s + s * b1);
    const double phiB = std::atan(bi / br);

    const double ar = ClampRealPart((c * a1 + a0) + c2 * a2);
    const double ai = -(((a2 + a2) * c) * s + s * a1);

    const double m = std::max(1e-10, ai * ai + ar * ar);
    const double hr = (ai * bi + ar * br) / m;
    const double hi = (ar * bi - ai * br) / m;
    const double magnitude = std::sqrt(hi * hi + hr * hr);
    const double db = std::log(magnitude) * 20.0 / ln10;
    const double phase = phiB - std::atan(ai / ar);
    const double degrees = phase / kPi * 180.0;
    points[i] = ResponsePoint{hr, hi, magnitude, db, phase, degrees};

    if (params.freqAxisMode == 0) {
      u = u * ratio;
    } else if (params.freqAxisMode == 1) {
      u = u + step;
    }
  }
}

double XToFreq(const EqGraphParams& params, double x) {
  const double steps = static_cast<double>(params.width - 1U);
  if (params.freqAxisMode == 0) {
    return params.minFreq * std::exp(std::log(params.maxFreq / params.minFreq) / steps * x);
  }
  return params.minFreq + (params.maxFreq - params.minFreq) / steps * x;
}

double FreqToX(const EqGraphParams& params, double freq) {
  const double steps = static_cast<double>(params.width - 1U);
  if (params.freqAxisMode == 0) {
    return std::log(freq / params.minFreq) /
           std::log(std::exp(std::log(params.maxFreq / params.minFreq) / steps));
  }
  return (freq - params.minFreq) / ((params.maxFreq - params.minFreq) / steps);
}

void CBQCalculator::ComputeResponse(const EqGraphParams& params, const EqBandTable& bandTable,
                                    std::vector<std::int32_t>& curve,
                                    std::vector<BandMarker>& markers,
                                    std::vector<std::vector<std::int32_t>>* bandCurves,
                                    std::vector<std::uint32_t>* curveBands) {
  if (bandCurves != nullptr) {
    bandCurves->clear();
  }
  if (curveBands != nullptr) {
    curveBands->clear();
  }
  FilterChain chain;
  DesignBandFilters(bandTable, chain, params.sampleRate);
  const std::uint32_t n = params.width;
  // One point leaves no interval for the frequency ratio: such a graph is treated as empty.
  if (n < 2) {
    FreeFilterChain(chain);
    return;
  }

  if (m_pointCount != n) {
    m_points.assign(n, ResponsePoint{});
    m_dbSums.assign(n, 0.0);
    m_yPositions.assign(n, 0);
    m_pointCount = n;
  } else {
    std::fill(m_points.begin(), m_points.end(), ResponsePoint{});
    std::fill(m_dbSums.begin(), m_dbSums.end(), 0.0);
    std::fill(m_yPositions.begin(), m_yPositions.end(), 0);
  }

  // Each band's own response too (its sections' dB summed), in the combined sum's order of
  // additions, so the combined curve keeps its bits.
  std::vector<double> bandDb;
  for (const FilterEntry& entry : chain.entries) {
    const bool ownCurve = bandCurves != nullptr && entry.kind != kPreampKind;
    if (ownCurve) {
      bandDb.assign(n, 0.0);
    }
    auto addSection = [&](const BiquadCoefs& coefs) {
      EvaluateSectionResponse(params, m_points, coefs);
      for (std::uint32_t i = 0; i < n; ++i) {
        m_dbSums[i] += m_points[i].magnitudeDb;
        if (ownCurve) {
          bandDb[i] += m_points[i].magnitudeDb;
        }
      }
    };
    // The order ForEachSection runs them in.
    if (entry.bell) {
      addSection(entry.bell->coefs);
    }
    if (entry.highLow) {
      for (const BiquadCoefs& coefs : entry.highLow->coefs) {
        addSection(coefs);
      }
    }
    if (ownCurve) {
      std::vector<std::int32_t>& rows = bandCurves->emplace_back(n);
      if (curveBands != nullptr) {
        curveBands->push_back(entry.bandIndex);
      }
      for (std::uint32_t i = 0; i < n; ++i) {
        rows[i] = ToRow(((params.topDb - bandDb[i]) * static_cast<double>(params.height)) /
                        (params.topDb - params.bottomDb));
      }
    }
  }

  const double h = static_cast<double>(params.height);
  for (std::uint32_t i = 0; i < n; ++i) {
    m_yPositions[i] = ToRow(((params.topDb - m_dbSums[i]) * h) / (params.topDb - params.bottomDb));
  }
  curve.clear();
  curve.reserve(n);
  curve.insert(curve.end(), m_yPositions.begin(), m_yPositions.end());

  const double markerRows = static_cast<double>(params.height - 1U);
  for (const EqBand& band : bandTable) {
    if (band.enable != 1 || !IsSingleSectionType(band.type)) {
      continue;
    }
    // A bell's marker at its gain, a shelf's at half its gain (its value at the centre), a
    // notch's on the bottom line.
    const double db = band.type == ToCode(EqBandType::Bell)    ? band.gain
                      : band.type == ToCode(EqBandType::Notch) ? params.bottomDb
                                                               : band.gain * 0.5;
    const double x = FreqToX(params, band.centFreq);
    const double y = ((db - params.topDb) / (params.bottomDb - params.topDb)) * markerRows;
    markers.push_back(BandMarker{db, band.centFreq, x, y});
  }
  FreeFilterChain(chain);
}
