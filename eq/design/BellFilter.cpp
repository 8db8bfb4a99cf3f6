#include "eq/design/BellFilter.h"

#include <cmath>

namespace {

// The pi of the bell design: ten digits, not the full double-precision value, so that the
// coefficients round exactly as designed.
constexpr double kBellPi = 3.1415926536;

}  // namespace

BellFilter DesignBellFilter(double centFreq, double gain, double qual, double sampleRate) {
  BellFilter bell;
  bell.sampleRate = sampleRate;
  bell.centFreq = centFreq;
  bell.gain = gain;
  bell.qual = qual;

  // The product first, then the quotient: tan(centFreq * (pi / fs)) rounds differently.
  const double product = centFreq * kBellPi;
  const double K = std::tan(product / sampleRate);
  const double V = std::pow(10.0, std::fabs(gain / 20));
  const double Q = qual;
  const double KK = K * K;
  const double VKQ = (V * K) / Q;
  const double KQ = K / Q;
  BiquadCoefs& c = bell.coefs;
  if (gain >= 0) {
    const double r = 1 / ((KQ + 1) + KK);
    c.b0 = ((VKQ + 1) + KK) * r;
    c.b1 = ((KK - 1) + (KK - 1)) * r;
    c.b2 = ((1 - VKQ) + KK) * r;
    c.a0 = 1.0;
    c.a1 = c.b1;
    c.a2 = ((1 - KQ) + KK) * r;
  } else {
    const double r = 1 / ((VKQ + 1) + KK);
    c.b0 = ((KQ + 1) + KK) * r;
    c.b1 = ((KK - 1) + (KK - 1)) * r;
    c.b2 = ((1 - KQ) + KK) * r;
    c.a0 = 1.0;
    c.a1 = c.b1;
    c.a2 = ((1 - VKQ) + KK) * r;
  }
  return bell;
}
