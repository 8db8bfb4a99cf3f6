// The shelf and notch designs against the values their definitions promise, worked out from
// the transfer function directly (DC, Nyquist and the centre frequency), the preamp against a
// plain multiplication, and the markers of the new types.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <limits>
#include <numbers>
#include <vector>

#include "eq/design/BellFilter.h"
#include "eq/design/CookbookFilter.h"
#include "eq/design/FilterChain.h"
#include "eq/design/SectionCheck.h"
#include "eq/filter/PcmFilter.h"
#include "eq/response/BQCalculator.h"
#include "tests/support/SpeechGraph.h"

namespace {

// |H| in dB at `freq` Hz of one section, evaluated on the unit circle with complex numbers.
double MagnitudeDb(const BiquadCoefs& c, double freq, double fs) {
  const std::complex<double> z1 = std::polar(1.0, -2.0 * std::numbers::pi * freq / fs);
  const std::complex<double> h =
      (c.b0 + c.b1 * z1 + c.b2 * z1 * z1) / (c.a0 + c.a1 * z1 + c.a2 * z1 * z1);
  return 20.0 * std::log10(std::abs(h));
}

EqBand Band(EqBandType type, double freq, double gain, double qual) {
  return EqBand{
      .type = ToCode(type), .index = 0, .enable = 1, .gain = gain, .qual = qual, .centFreq = freq};
}

// The audio-EQ cookbook's shelf, |H| in dB at `freq` Hz, from the cookbook's own formulas: its
// coefficients (not divided by a0), and the magnitude of a biquad in closed form,
// |H|^2 = ((b0+b1+b2)^2 - 4(b0 b1 + 4 b0 b2 + b1 b2) phi + 16 b0 b2 phi^2) / (the same in a),
// phi = sin^2(w / 2).
double CookbookShelfDb(bool high, double freq0, double gain, double qual, double fs, double freq) {
  const double A = std::pow(10.0, gain / 40.0);
  const double w0 = 2.0 * std::numbers::pi * freq0 / fs;
  const double cs = std::cos(w0);
  const double beta = 2.0 * std::sqrt(A) * std::sin(w0) / (2.0 * qual);
  const double s = high ? 1.0 : -1.0;  // the high shelf flips the signs of the cos terms
  const double b0 = A * ((A + 1) + s * (A - 1) * cs + beta);
  const double b1 = -2.0 * s * A * ((A - 1) + s * (A + 1) * cs);
  const double b2 = A * ((A + 1) + s * (A - 1) * cs - beta);
  const double a0 = (A + 1) - s * (A - 1) * cs + beta;
  const double a1 = 2.0 * s * ((A - 1) - s * (A + 1) * cs);
  const double a2 = (A + 1) - s * (A - 1) * cs - beta;
  const double half = std::sin(std::numbers::pi * freq / fs);
  const double phi = half * half;
  auto squared = [phi](double c0, double c1, double c2) {
    return (c0 + c1 + c2) * (c0 + c1 + c2) - 4.0 * (c0 * c1 + 4.0 * c0 * c2 + c1 * c2) * phi +
           16.0 * c0 * c2 * phi * phi;
  };
  return 10.0 * std::log10(squared(b0, b1, b2) / squared(a0, a1, a2));
}

// A shelf's overshoot above Q 0.7071 is the cookbook's design, not a fault: every shelf of Q 0.5
// to 4 and +-24 dB at 8 to 192 kHz is applied, and its section and the check's ideal response
// both follow the cookbook's magnitude within 0.01 dB, from 10 Hz to near half the rate.
TEST(CookbookFilterTest, ShelvesOfEveryQAreAppliedAndFollowTheCookbook) {
  int shelves = 0;
  for (const double fs : {8000.0, 11025.0, 16000.0, 44100.0, 48000.0, 96000.0, 192000.0}) {
    for (const double qual : {0.5, 0.7071, 1.0, 1.5, 2.0, 3.0, 4.0}) {
      for (const double gain : {-24.0, -12.0, -3.0, 3.0, 12.0, 24.0}) {
        for (const double freq0 : {30.0, 250.0, 1000.0, fs * 0.3}) {
          for (const auto type : {EqBandType::LowShelf, EqBandType::HighShelf}) {
            const EqBand band = Band(type, freq0, gain, qual);
            FilterChain chain;
            std::vector<BandSkip> skipped;
            DesignBandFilters({band}, chain, fs, &skipped);
            ASSERT_TRUE(skipped.empty()) << DescribeBandSkip(skipped[0], fs);
            ASSERT_EQ(chain.entries.size(), 1U);
            const BiquadCoefs& coefs = chain.entries[0].bell->coefs;
            // What a shelf is: its gain on the shelf, none beyond it, half of it at the centre.
            const bool high = type == EqBandType::HighShelf;
            ASSERT_NEAR(MagnitudeDb(coefs, 0.0, fs), high ? 0.0 : gain, 0.01);
            ASSERT_NEAR(MagnitudeDb(coefs, fs / 2, fs), high ? gain : 0.0, 0.01);
            ASSERT_NEAR(MagnitudeDb(coefs, freq0, fs), gain / 2, 0.01);
            ASSERT_EQ(coefs.a0, 1.0);
            const IdealResponse ideal = IdealResponse::Of(band, 0, fs);
            for (int i = 0; i < 64; ++i) {
              const double f = 10.0 * std::pow(fs * 0.49 / 10.0, i / 63.0);
              const double expected =
                  CookbookShelfDb(type == EqBandType::HighShelf, freq0, gain, qual, fs, f);
              ASSERT_NEAR(MagnitudeDb(coefs, f, fs), expected, 0.01)
                  << fs << " Hz, Q " << qual << ", " << gain << " dB at " << freq0 << ", " << f;
              ASSERT_NEAR(20.0 * std::log10(ideal.Magnitude(f)), expected, 0.01) << f;
            }
            ++shelves;
          }
        }
      }
    }
  }
  EXPECT_EQ(shelves, 2352);

  // The shelf the window refused: 20 dB at 1 kHz with Q 1 rises to 21 dB by design.
  FilterChain chain;
  std::vector<BandSkip> skipped;
  DesignBandFilters({Band(EqBandType::LowShelf, 1000, 20, 1)}, chain, 16000, &skipped);
  EXPECT_TRUE(skipped.empty());
  EXPECT_EQ(chain.entries.size(), 1U);
}

// Only a design that has gone numerically wrong is left out: a -120 dB shelf at a thousandth of
// a hertz, whose section loses its shelf to rounding, and a section that is not the band's
// design (a 12 dB bell's checked against the ideal of a 6 dB one) rise above the ideal.
TEST(CookbookFilterTest, ADesignThatDepartsFromItsIdealIsLeftOut) {
  FilterChain chain;
  std::vector<BandSkip> skipped;
  DesignBandFilters({Band(EqBandType::LowShelf, 0.001, -120, 10)}, chain, 192000, &skipped);
  EXPECT_TRUE(chain.entries.empty());
  ASSERT_EQ(skipped.size(), 1U);
  EXPECT_EQ(skipped[0].reason, BandSkipReason::ResponseTooHigh);
  EXPECT_EQ(DescribeBandSkip(skipped[0], 192000)
                .find("Band00 (low-shelf) is left out at 192000 "
                      "Hz: its filter would rise to "),
            0U);

  const BiquadCoefs twelve = DesignBellFilter(1000, 12, 2, 48000).coefs;
  const SectionCheckResult check = CheckSections(
      {&twelve, 1}, IdealResponse::Of(Band(EqBandType::Bell, 1000, 6, 2), 0, 48000), 48000, 1000);
  EXPECT_EQ(check.fault, SectionFault::ResponseTooHigh);
  EXPECT_NEAR(check.valueDb, 12.0, 0.01);
  EXPECT_NEAR(check.idealDb, 6.0, 0.01);
  EXPECT_NEAR(check.freq, 1000.0, 5.0);
}

// Bells, notches and Butterworth passes are checked against their ideal now as shelves are,
// and stay applied across the rates, frequencies, Qs, gains and orders people use.
TEST(CookbookFilterTest, BellsNotchesAndPassesStayApplied) {
  for (const double fs : {8000.0, 16000.0, 44100.0, 96000.0, 192000.0}) {
    for (const double freq : {5.0, 20.0, 100.0, 1000.0, fs * 0.1, fs * 0.45}) {
      EqBandTable table;
      for (const double qual : {0.1, 0.7, 2.0, 10.0, 30.0}) {
        for (const double gain : {-24.0, -6.0, 0.0, 6.0, 24.0}) {
          table.push_back(Band(EqBandType::Bell, freq, gain, qual));
        }
        table.push_back(Band(EqBandType::Notch, freq, 0, qual));
      }
      for (const double ratio : {1.25, 2.0, 4.0}) {
        for (const double attenuation : {3.0, 24.0, 60.0, 90.0}) {
          table.push_back({.type = ToCode(EqBandType::HighPass),
                           .enable = 1,
                           .gain = attenuation,
                           .cutoffFreq = freq,
                           .stopFreq = freq / ratio});
          table.push_back({.type = ToCode(EqBandType::LowPass),
                           .enable = 1,
                           .gain = attenuation,
                           .cutoffFreq = freq / ratio,
                           .stopFreq = freq});
        }
      }
      FilterChain chain;
      std::vector<BandSkip> skipped;
      DesignBandFilters(table, chain, fs, &skipped);
      for (const BandSkip& skip : skipped) {
        ADD_FAILURE() << DescribeBandSkip(skip, fs);
      }
      EXPECT_EQ(chain.entries.size(), table.size());
    }
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

// A preamp that is not a usable number is named and left out, as an undesignable band is: one
// beyond 60 dB either way (1e308 dB made every sample infinite or not a number), an infinite one
// and not-a-number (which text without a number in the settings file reads as). The bands still
// run; 60 dB itself is applied.
TEST(CookbookFilterTest, APreampThatIsNotFiniteOrBeyondSixtyDbIsNamedAndLeftOut) {
  const double inf = std::numeric_limits<double>::infinity();
  const struct {
    double preampDb;
    const char* line;
  } cases[] = {
      {1e308, "The preamp is left out: its gain 1e+308 dB lies outside -60 to 60 dB."},
      {-60.5, "The preamp is left out: its gain -60.5 dB lies outside -60 to 60 dB."},
      {inf, "The preamp is left out: its gain inf dB lies outside -60 to 60 dB."},
      {-inf, "The preamp is left out: its gain -inf dB lies outside -60 to 60 dB."},
      {std::numeric_limits<double>::quiet_NaN(),
       "The preamp is left out: its gain is not a number."},
  };
  for (const auto& c : cases) {
    EqBandTable table{Band(EqBandType::Bell, 1000, 6, 1)};
    table.preampDb = c.preampDb;
    FilterChain chain;
    std::vector<BandSkip> skipped;
    DesignBandFilters(table, chain, 16000, &skipped);
    ASSERT_EQ(chain.entries.size(), 1U) << c.line;
    EXPECT_EQ(chain.entries[0].kind, 1U);
    ASSERT_EQ(skipped.size(), 1U) << c.line;
    EXPECT_EQ(skipped[0].reason, BandSkipReason::PreampUnusable);
    EXPECT_EQ(DescribeBandSkip(skipped[0], 16000), c.line);
  }
  for (const double preampDb : {60.0, -60.0}) {
    EqBandTable table;
    table.preampDb = preampDb;
    FilterChain chain;
    std::vector<BandSkip> skipped;
    DesignBandFilters(table, chain, 16000, &skipped);
    ASSERT_EQ(chain.entries.size(), 1U);
    EXPECT_EQ(chain.entries[0].kind, kPreampKind);
    EXPECT_DOUBLE_EQ(chain.entries[0].bell->coefs.b0, preampDb > 0 ? 1000.0 : 0.001);
    EXPECT_TRUE(skipped.empty());
  }
}

TEST(CookbookFilterTest, MarkersSitAtHalfAShelfsGainAndANotchOnTheBottomLine) {
  const EqGraphParams params = testsupport::SpeechGraph(400, 101, 25);
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
