// The shelf and notch designs against the values their definitions promise, worked out from
// the transfer function directly (DC, Nyquist and the centre frequency), the preamp against a
// plain multiplication, and the markers of the new types.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <numbers>
#include <vector>

#include "eq/design/BellFilter.h"
#include "eq/design/CookbookFilter.h"
#include "eq/design/FilterChain.h"
#include "eq/filter/PcmFilter.h"
#include "eq/response/BQCalculator.h"

namespace {

// |H| in dB at `freq` Hz of one section, evaluated on the unit circle with complex numbers.
double MagnitudeDb(const BiquadCoefs& c, double freq, double fs) {
  const std::complex<double> z1 = std::polar(1.0, -2.0 * std::numbers::pi * freq / fs);
  const std::complex<double> h =
      (c.b0 + c.b1 * z1 + c.b2 * z1 * z1) / (c.a0 + c.a1 * z1 + c.a2 * z1 * z1);
  return 20.0 * std::log10(std::abs(h));
}

TEST(CookbookFilterTest, ShelvesReachTheirGainHalfOfItAtTheCentreAndNothingBeyond) {
  struct Case {
    double freq, gain, qual, fs;
  };
  for (const Case& c : {Case{105, 6.2, 0.7, 48000}, Case{3000, -9, 0.5, 16000},
                        Case{250, 12, 1.2, 44100}, Case{8000, -3.5, 0.7071, 96000}}) {
    SCOPED_TRACE(c.freq);
    const BiquadCoefs low = DesignShelfFilter(false, c.freq, c.gain, c.qual, c.fs).coefs;
    EXPECT_NEAR(MagnitudeDb(low, 0.0, c.fs), c.gain, 0.01);
    EXPECT_NEAR(MagnitudeDb(low, c.fs / 2, c.fs), 0.0, 0.01);
    EXPECT_NEAR(MagnitudeDb(low, c.freq, c.fs), c.gain / 2, 0.01);
    const BiquadCoefs high = DesignShelfFilter(true, c.freq, c.gain, c.qual, c.fs).coefs;
    EXPECT_NEAR(MagnitudeDb(high, 0.0, c.fs), 0.0, 0.01);
    EXPECT_NEAR(MagnitudeDb(high, c.fs / 2, c.fs), c.gain, 0.01);
    EXPECT_NEAR(MagnitudeDb(high, c.freq, c.fs), c.gain / 2, 0.01);
    EXPECT_EQ(low.a0, 1.0);
    EXPECT_EQ(high.a0, 1.0);
  }
}

TEST(CookbookFilterTest, NotchRemovesItsCentreAndPassesTheRest) {
  for (const double freq : {50.0, 100.0, 150.0, 1000.0}) {
    const BiquadCoefs notch = DesignNotchFilter(freq, 30, 16000).coefs;
    EXPECT_LT(MagnitudeDb(notch, freq, 16000), -60.0);
    EXPECT_NEAR(MagnitudeDb(notch, 0.0, 16000), 0.0, 1e-9);
    EXPECT_NEAR(MagnitudeDb(notch, 8000.0, 16000), 0.0, 1e-9);
    // Q is the centre over the -3 dB width: at f x (1 +- 1/(2Q)) about -3 dB.
    EXPECT_NEAR(MagnitudeDb(notch, freq * (1 + 1.0 / 60), 16000), -3.0, 0.2);
  }
}

// The cookbook's peaking filter with Q q is our bell with Q q x 10^(|gain| / 40): the same
// analogue prototype under the same prewarped transform.
TEST(CookbookFilterTest, TheCookbookPeakingFilterIsOurBellWithItsQConverted) {
  for (const double gain : {6.0, -9.0, 14.0}) {
    const double q = 1.4;
    const double fc = 1200;
    const double fs = 48000;
    const double A = std::pow(10.0, gain / 40);
    const double w0 = 2 * std::numbers::pi * fc / fs;
    const double alpha = std::sin(w0) / (2 * q);
    const double a0 = 1 + alpha / A;
    const BiquadCoefs cookbook{(1 + alpha * A) / a0,   -2 * std::cos(w0) / a0,
                               (1 - alpha * A) / a0,   1.0,
                               -2 * std::cos(w0) / a0, (1 - alpha / A) / a0};
    const BiquadCoefs ours =
        DesignBellFilter(fc, gain, q * std::pow(10.0, std::fabs(gain) / 40), fs).coefs;
    for (int i = 0; i < 200; ++i) {
      const double f = 20.0 * std::pow(1000.0, i / 199.0);
      EXPECT_NEAR(MagnitudeDb(ours, f, fs), MagnitudeDb(cookbook, f, fs), 0.01) << f;
    }
  }
}

EqBand Band(EqBandType type, double freq, double gain, double qual) {
  return EqBand{
      .type = ToCode(type), .index = 0, .enable = 1, .gain = gain, .qual = qual, .centFreq = freq};
}

TEST(CookbookFilterTest, NewTypesAreDesignedNamedAndLeftOutAboveHalfTheRate) {
  EqBandTable table{Band(EqBandType::LowShelf, 100, 6, 0.7),
                    Band(EqBandType::HighShelf, 9000, 3, 0.7), Band(EqBandType::Notch, 50, 0, 30)};
  table[1].index = 1;
  table[2].index = 2;
  FilterChain chain;
  std::vector<BandSkip> skipped;
  DesignBandFilters(table, chain, 16000, &skipped);
  ASSERT_EQ(chain.entries.size(), 2U);
  EXPECT_EQ(chain.entries[0].kind, 4U);
  EXPECT_EQ(chain.entries[1].kind, 6U);
  ASSERT_EQ(skipped.size(), 1U);
  EXPECT_EQ(DescribeBandSkip(skipped[0], 16000),
            "Band01 (high-shelf) is left out at 16000 Hz: its centre frequency 9000 Hz is above "
            "half the sample rate (8000 Hz).");
}

TEST(CookbookFilterTest, PreampIsOneMultiplicationBeforeTheBandsAndZeroAddsNothing) {
  EqBandTable table;
  FilterChain none;
  DesignBandFilters(table, none, 16000);
  EXPECT_TRUE(none.entries.empty());

  table.preampDb = -6.0;
  FilterChain chain;
  DesignBandFilters(table, chain, 16000);
  ASSERT_EQ(chain.entries.size(), 1U);
  EXPECT_EQ(chain.entries[0].kind, kPreampKind);
  const double gain = std::pow(10.0, -6.0 / 20.0);
  std::vector<float> samples{0.5F, -0.25F, 0.999F, -1.0F, 0.125F};
  std::vector<float> expected(samples.size());
  for (std::size_t i = 0; i < samples.size(); ++i) {
    expected[i] = static_cast<float>(static_cast<double>(samples[i]) * gain);
  }
  for (const FilterKernel kernel : {FilterKernel::Plain, BestFilterKernel()}) {
    std::vector<float> got = samples;
    ASSERT_EQ(FilterSamples(kernel, SampleFormat{SampleEncoding::Float32, 0},
                            reinterpret_cast<std::uint8_t*>(got.data()),
                            static_cast<std::uint32_t>(got.size()), chain, 1),
              1);
    EXPECT_EQ(got, expected);
  }
}

TEST(CookbookFilterTest, MarkersSitAtHalfAShelfsGainAndANotchOnTheBottomLine) {
  EqGraphParams params;
  params.width = 400;
  params.height = 101;
  params.sampleRate = 16000;
  params.minFreq = 10;
  params.maxFreq = 8000;
  params.topDb = 25;
  params.bottomDb = -25;
  EqBandTable table{Band(EqBandType::LowShelf, 100, 10, 0.7), Band(EqBandType::Notch, 50, 7, 30)};
  table.preampDb = 5;
  CBQCalculator calculator;
  std::vector<std::int32_t> curve;
  std::vector<BandMarker> markers;
  calculator.ComputeResponse(params, table, curve, markers);
  ASSERT_EQ(markers.size(), 2U);
  EXPECT_DOUBLE_EQ(markers[0].y, (5.0 - 25.0) / -50.0 * 100.0);  // 10 dB / 2 = 5 dB
  EXPECT_DOUBLE_EQ(markers[1].y, 100.0);
  // The curve includes the preamp: at the top end (shelf and notch at 0 dB) it is 5 dB high,
  // row (25 - 5) x 101 / 50 = 40.4.
  EXPECT_EQ(curve.back(), 40);
}

}  // namespace
