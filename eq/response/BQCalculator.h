#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "eq/band/EqBand.h"
#include "eq/design/Biquad.h"
#include "eq/response/EqGraphParams.h"

/// Computes the combined magnitude response of a band table for the response graph, one point
/// per pixel column. Its working arrays are sized per graph width and reused, so recomputing
/// after a band edit allocates only the filter chain, the curve and the markers.
class CBQCalculator {
 public:
  CBQCalculator() = default;
  virtual ~CBQCalculator() = default;

  /// Fills `curve` with one y position per column (the summed dB of every designed section at
  /// that column's frequency, mapped from topDb..bottomDb to 0..height) and `markers` with one
  /// marker per enabled bell, shelf or notch. A width below 2 computes nothing and leaves both
  /// empty.
  /// `bandCurves`, when given, gets each designed band's own curve the same way (the preamp
  /// has none), in chain order; `curveBands`, when given, the `index` of each one's band.
  void ComputeResponse(const EqGraphParams& params, const EqBandTable& bandTable,
                       std::vector<std::int32_t>& curve, std::vector<BandMarker>& markers,
                       std::vector<std::vector<std::int32_t>>* bandCurves = nullptr,
                       std::vector<std::uint32_t>* curveBands = nullptr);
  /// The combined response of the last computation, dB per column.
  const std::vector<double>& ResponseDb() const { return m_dbSums; }

 private:
  std::vector<ResponsePoint> m_points;
  std::vector<double> m_dbSums;
  std::vector<std::int32_t> m_yPositions;
  std::uint32_t m_pointCount = 0;
};

/// Evaluates one section's response at `params.width` frequencies from minFreq (equal ratios
/// on the logarithmic axis, equal steps of normalised frequency on the linear one) into
/// `points`, which holds at least width entries.
void EvaluateSectionResponse(const EqGraphParams& params, std::span<ResponsePoint> points,
                             const BiquadCoefs& coefs);

/// The frequency, Hz, at x position `x` (pixels) of the graph: FreqToX's inverse.
double XToFreq(const EqGraphParams& params, double x);

/// The x position, in pixels and not rounded, of frequency `freq` Hz on the graph.
double FreqToX(const EqGraphParams& params, double freq);
