#include "eq/design/HighLowFilter.h"

#include <cmath>

namespace {

// The constants of the Butterworth design, exactly as the design was tuned: 2 pi to eight
// digits for the prewarping, pi to eight digits for the pole angles.
constexpr double kTwoPiApprox = 6.2831852;
constexpr double kPiApprox = 3.1415926;

}  // namespace

int DesignHighLowFilter(HighLowFilter& filter, std::uint16_t kind, std::uint16_t order,
                        double cutoffFreq, double sampleRate) {
  const auto sections = static_cast<std::uint16_t>((order + 1) / 2);
  filter.sampleRate = sampleRate;
  filter.order = order;
  filter.sectionCount = sections;
  filter.kind = kind;
  filter.cutoffFreq = cutoffFreq;
  filter.coefs.assign(sections, BiquadCoefs{});
  filter.states.assign(sections, BiquadState{});

  // The corner is taken relative to the sample rate as a single-precision number, as the design
  // always has: using the double rate would move every coefficient by a few units in the last
  // place and change the output bits.
  const double fsf = static_cast<double>(static_cast<float>(sampleRate));
  const double u = cutoffFreq / fsf;
  filter.u = u;
  const double K = std::tan(u * kTwoPiApprox * 0.5);
  filter.K = K;
  const double delta = kPiApprox / static_cast<double>(order);
  double theta = delta * 0.5;
  if (sections == 0) {
    return 1;
  }

  for (std::int16_t k = 0; k < static_cast<std::int16_t>(sections); ++k) {
    // Analogue prototype section c2 s^2 + c1 s + 1; an odd order's real pole comes first.
    double c1 = 0.0;
    double c2 = 0.0;
    if (k == 0 && (order % 2) == 1) {
      c1 = 1.0;
      c2 = 0.0;
    } else {
      c1 = std::sin(theta) + std::sin(theta);
      c2 = 1.0;
      theta = theta + delta;
    }
    BiquadCoefs& c = filter.coefs[static_cast<std::size_t>(k)];
    if (kind == kDesignLowPass) {
      const double d = (K * c1 + c2) + K * K;
      c.b0 = (K * K) / d;
      c.b1 = ((K + K) * K) / d;
      c.b2 = (K * K) / d;
      c.a0 = ((K * c1 + c2) + K * K) / d;
      c.a1 = ((K + K) * K - (c2 + c2)) / d;
      c.a2 = ((c2 - K * c1) + K * K) / d;
    } else {
      const double d = ((K * c2) * K + K * c1) + 1.0;
      c.b0 = 1.0 / d;
      c.b1 = -2.0 / d;
      c.b2 = 1.0 / d;
      c.a0 = (((K * c2) * K + K * c1) + 1.0) / d;
      c.a1 = (((c2 + c2) * K) * K - 2.0) / d;
      c.a2 = (((K * c2) * K - K * c1) + 1.0) / d;
    }
  }
  return 1;
}
