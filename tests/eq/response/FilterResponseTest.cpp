// The designed filters checked against the textbook formulas they approximate, evaluated with
// complex arithmetic written here (not the graph's evaluation).
#include <gtest/gtest.h>

#include <cmath>
#include <complex>

#include "eq/design/FilterChain.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

double SectionMagnitude(const BiquadCoefs& c, double freq, double sampleRate) {
  const std::complex<double> z1 = std::polar(1.0, -2.0 * kPi * freq / sampleRate);
  const std::complex<double> z2 = z1 * z1;
  return std::abs((c.b0 + c.b1 * z1 + c.b2 * z2) / (c.a0 + c.a1 * z1 + c.a2 * z2));
}

double CascadeDb(const HighLowFilter& filter, double freq) {
  double db = 0.0;
  for (const BiquadCoefs& c : filter.coefs) {
    db += 20.0 * std::log10(SectionMagnitude(c, freq, filter.sampleRate));
  }
  return db;
}

// Digital Butterworth magnitude by the bilinear transform: the analogue response at the
// prewarped frequency.
double ButterworthDb(bool highPass, int order, double freq, double cutoff, double sampleRate) {
  const double warped = std::tan(kPi * freq / sampleRate) / std::tan(kPi * cutoff / sampleRate);
  const double ratio = highPass ? 1.0 / warped : warped;
  return -10.0 * std::log10(1.0 + std::pow(ratio, 2.0 * order));
}

TEST(FilterResponseTest, ButterworthBandsAreMinus3DbAtTheCornerAndFollowTheFormula) {
  struct Case {
    std::uint16_t kind;
    std::uint16_t order;
    double cutoff;
    double sampleRate;
  };
  for (const Case& c :
       {Case{kDesignLowPass, 4, 1000, 16000}, Case{kDesignLowPass, 57, 7840, 16000},
        Case{kDesignHighPass, 11, 11.204082, 16000}, Case{kDesignHighPass, 3, 300, 44100},
        Case{kDesignLowPass, 1, 3400, 8000}, Case{kDesignLowPass, 171, 7840, 16000},
        Case{kDesignHighPass, 400, 300, 44100}}) {
    HighLowFilter filter;
    DesignHighLowFilter(filter, c.kind, c.order, c.cutoff, c.sampleRate);
    const bool highPass = c.kind == kDesignHighPass;
    // One section per two orders, an odd order's first-order section among them; orders of
    // several hundred follow the formula as closely as the small ones.
    EXPECT_EQ(filter.coefs.size(), (c.order + 1U) / 2U) << c.order;
    EXPECT_NEAR(CascadeDb(filter, c.cutoff), -3.0103, 2e-3) << c.order;
    for (double factor : {0.25, 0.5, 0.8, 0.95, 1.02}) {
      const double freq = c.cutoff * (highPass ? 1.0 / factor : factor);
      if (freq >= c.sampleRate / 2) {
        continue;
      }
      const double expected = ButterworthDb(highPass, c.order, freq, c.cutoff, c.sampleRate);
      EXPECT_NEAR(CascadeDb(filter, freq), expected, 2e-3 + std::fabs(expected) * 1e-4)
          << "order " << c.order << " at " << freq;
    }
  }
}

TEST(FilterResponseTest, BellReachesItsGainAtTheCentreAndACutUndoesABoost) {
  for (double gain : {12.0, 3.0, 0.5}) {
    const BellFilter boost = DesignBellFilter(1000, gain, 1.4, 16000);
    const BellFilter cut = DesignBellFilter(1000, -gain, 1.4, 16000);
    EXPECT_NEAR(20.0 * std::log10(SectionMagnitude(boost.coefs, 1000, 16000)), gain, 1e-6);
    EXPECT_NEAR(20.0 * std::log10(SectionMagnitude(cut.coefs, 1000, 16000)), -gain, 1e-6);
    for (double freq : {20.0, 300.0, 1000.0, 2500.0, 7900.0}) {
      EXPECT_NEAR(
          SectionMagnitude(boost.coefs, freq, 16000) * SectionMagnitude(cut.coefs, freq, 16000),
          1.0, 1e-12);
    }
    // Far from the centre the bell is flat.
    EXPECT_NEAR(SectionMagnitude(boost.coefs, 5, 16000), 1.0, 1e-3);
  }
}

}  // namespace
