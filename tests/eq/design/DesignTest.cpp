#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "eq/design/DesignCache.h"
#include "eq/design/FilterChain.h"
#include "platform/text/NumberText.h"
#include "settings/UserSettings.h"

namespace {

EqBand PassBand(EqBandType type, double gain, double cutoff, double stop) {
  return {.type = ToCode(type), .enable = 1, .gain = gain, .cutoffFreq = cutoff, .stopFreq = stop};
}

EqBand Bell(double centFreq, double gain, double qual) {
  return {.type = ToCode(EqBandType::Bell),
          .enable = 1,
          .gain = gain,
          .qual = qual,
          .centFreq = centFreq};
}

const HighLowFilter* DesignOne(const EqBand& band, double sampleRate, FilterChain& chain) {
  DesignBandFilters({band}, chain, sampleRate);
  return chain.entries.size() == 1 ? chain.entries[0].highLow.get() : nullptr;
}

TEST(DesignTest, OrderFollowsTheWorkedExamples) {
  // 24 / log10(2) / 20 + 0.98 = 4.966: order 4 in 2 sections.
  FilterChain chain;
  const HighLowFilter* lp = DesignOne(PassBand(EqBandType::LowPass, 24, 1000, 2000), 16000, chain);
  ASSERT_NE(lp, nullptr);
  EXPECT_EQ(lp->order, 4);
  EXPECT_EQ(lp->sectionCount, 2);
  EXPECT_EQ(lp->kind, kDesignLowPass);
  EXPECT_EQ(lp->coefs.size(), 2U);

  // A need of 3.01 orders rounds down, 3.03 rounds up (ratio 10: log10 = 1).
  EXPECT_EQ(EstimateHighLowOrder(60.2, 10.0), 3);
  EXPECT_EQ(EstimateHighLowOrder(60.6, 10.0), 4);
  EXPECT_EQ(EstimateHighLowOrder(0.0, 10.0), 0);
}

TEST(DesignTest, ShippedDefaultSetGivesOrders11And57) {
  AppConfig config = ShippedAppConfig();
  EqBandTable table;
  ApplyDefaultSettings(config, table);
  for (EqBand& band : table) {
    band.enable = 1;
  }
  FilterChain chain;
  DesignBandFilters(table, chain, 16000);
  ASSERT_GE(chain.entries.size(), 9U);
  ASSERT_TRUE(chain.entries[0].highLow);
  EXPECT_EQ(chain.entries[0].highLow->order, 11);
  EXPECT_EQ(chain.entries[0].highLow->kind, kDesignHighPass);

  // In memory the low-pass stop frequency is 10 * 800^(9/9) = 8000.000000000001 with the GNU C
  // library's exp, log and pow, one rounding step above half the rate, so the band is left
  // out; written to a settings file ("%f") and read back it is 8000 exactly and gets its order
  // 57. (The Windows C library rounds that power to 8000 exactly: the band is then designed in
  // memory too. Settings files hold six decimals, so files read the same on both.)
#if defined(__GLIBC__)
  EXPECT_GT(table[9].stopFreq, 8000.0);
  EXPECT_EQ(chain.entries.size(), 9U);
#endif
  table[9].cutoffFreq = platform::ParseDouble(platform::FormatFixed6(table[9].cutoffFreq));
  table[9].stopFreq = platform::ParseDouble(platform::FormatFixed6(table[9].stopFreq));
  FreeFilterChain(chain);
  DesignBandFilters(table, chain, 16000);
  ASSERT_EQ(chain.entries.size(), 10U);
  ASSERT_TRUE(chain.entries[9].highLow);
  EXPECT_EQ(chain.entries[9].highLow->order, 57);
  EXPECT_EQ(chain.entries[9].highLow->sectionCount, 29);
  EXPECT_EQ(CountSections(chain), 43U);
}

TEST(DesignTest, OddOrderPutsTheFirstOrderSectionFirst) {
  FilterChain chain;
  // Ratio 10 and 60.2 dB: order 3.
  const HighLowFilter* hp =
      DesignOne(PassBand(EqBandType::HighPass, 60.2, 1000, 100), 48000, chain);
  ASSERT_NE(hp, nullptr);
  ASSERT_EQ(hp->order, 3);
  ASSERT_EQ(hp->coefs.size(), 2U);
  // A first-order high-pass section carries a cancelling zero and pole at z = +1: its
  // numerator and denominator both vanish there.
  const BiquadCoefs& first = hp->coefs[0];
  EXPECT_NEAR(first.b0 + first.b1 + first.b2, 0.0, 1e-15);
  EXPECT_NEAR(first.a0 + first.a1 + first.a2, 0.0, 1e-12);
  const BiquadCoefs& second = hp->coefs[1];
  EXPECT_GT(std::fabs(second.a0 + second.a1 + second.a2), 1e-3);
}

TEST(DesignTest, BandsAtHalfTheRateAreDesignedAndOneRoundingStepAboveAreNot) {
  const double above = std::nextafter(8000.0, 1e9);
  FilterChain chain;
  std::vector<BandSkip> skipped;
  DesignBandFilters(
      {Bell(7999.0, 6, 1), Bell(above, 6, 1), PassBand(EqBandType::LowPass, 10, 7840, 8000.0),
       PassBand(EqBandType::LowPass, 10, 7840, above),
       PassBand(EqBandType::HighPass, 10, 8000.0, 4000),
       PassBand(EqBandType::HighPass, 10, above, 4000)},
      chain, 16000.0, &skipped);
  ASSERT_EQ(chain.entries.size(), 3U);
  EXPECT_EQ(chain.entries[0].kind, 1U);
  EXPECT_EQ(chain.entries[1].kind, 3U);
  EXPECT_EQ(chain.entries[2].kind, 2U);
  ASSERT_EQ(skipped.size(), 3U);
  for (const BandSkip& skip : skipped) {
    EXPECT_EQ(skip.reason, BandSkipReason::AboveNyquist);
  }
}

// With the design's value of pi a hair above the true one, a bell at exactly half the rate puts
// a double pole just outside the unit circle: it is left out, not run.
TEST(DesignTest, BellAtExactlyHalfTheRateIsUnstableAndLeftOut) {
  for (const double gain : {6.0, 0.0, -6.0}) {
    FilterChain chain;
    std::vector<BandSkip> skipped;
    DesignBandFilters({Bell(8000.0, gain, 1)}, chain, 16000.0, &skipped);
    EXPECT_TRUE(chain.entries.empty());
    ASSERT_EQ(skipped.size(), 1U);
    EXPECT_EQ(skipped[0].reason, BandSkipReason::Unstable);
  }
}

TEST(DesignTest, UndesignableBandsAreLeftOut) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  EqBand disabled = Bell(1000, 6, 1);
  disabled.enable = 2;
  EqBand unknown = Bell(1000, 6, 1);
  unknown.type = 7;  // codes past the notch name no filter
  FilterChain chain;
  DesignBandFilters(
      {disabled, unknown, Bell(nan, 6, 1),
       PassBand(EqBandType::HighPass, 10, 100, 0.0005),  // below 0.001 Hz
       PassBand(EqBandType::HighPass, 10, 100, 100),     // ratio 1
       PassBand(EqBandType::LowPass, 10, 2000, 1000),    // stop on the pass side
       PassBand(EqBandType::LowPass, -10, 1000, 2000),   // negative gain
       PassBand(EqBandType::LowPass, nan, 1000, 2000), PassBand(EqBandType::LowPass, 10, 1000, nan),
       PassBand(EqBandType::LowPass, 10, 1000, 1000.01)},  // order above 1000
      chain, 48000);
  EXPECT_TRUE(chain.entries.empty());
  EXPECT_EQ(DesignBandFilters({}, chain, 48000), 1);
  EXPECT_TRUE(chain.entries.empty());
}

TEST(DesignTest, BellWithZeroGainHasEqualNumeratorAndDenominator) {
  const BellFilter bell = DesignBellFilter(1000, 0, 0.707, 16000);
  EXPECT_EQ(bell.coefs.b1, bell.coefs.a1);
  EXPECT_EQ(bell.coefs.b2, bell.coefs.a2);
  EXPECT_NEAR(bell.coefs.b0, bell.coefs.a0, 2e-16);
  EXPECT_EQ(bell.coefs.a0, 1.0);
}

// A batch designs each rate once: every file gets a copy of that rate's design, with the same
// sections and skips as its own design would have, and states as zeroed as a fresh design's
// although an earlier copy has already filtered.
TEST(DesignTest, TheDesignCacheHandsOutEachRatesOwnDesignWithFreshStates) {
  const EqBandTable table = {PassBand(EqBandType::HighPass, 40, 100, 50), Bell(1000, 6, 1),
                             Bell(30000, 6, 1),  // above half of 44.1 kHz, not of 96 kHz
                             PassBand(EqBandType::LowPass, 30, 5000, 9000)};
  DesignCache cache(table);
  for (const double rate : {44100.0, 96000.0, 44100.0}) {
    FilterChain fresh;
    std::vector<BandSkip> freshSkips;
    DesignBandFilters(table, fresh, rate, &freshSkips);
    FilterChain copy;
    std::vector<BandSkip> copySkips;
    cache.Design(rate, copy, copySkips);
    std::vector<double> freshCoefs;
    std::vector<double> copyCoefs;
    ForEachSection(fresh, [&](const BiquadCoefs& c, const BiquadState&) {
      freshCoefs.insert(freshCoefs.end(), {c.b0, c.b1, c.b2, c.a1, c.a2});
    });
    ForEachSection(copy, [&](const BiquadCoefs& c, BiquadState& state) {
      copyCoefs.insert(copyCoefs.end(), {c.b0, c.b1, c.b2, c.a1, c.a2});
      EXPECT_EQ(state.w1, 0.0);
      EXPECT_EQ(state.w2, 0.0);
      state.w1 = 5.0;  // as a filtering run leaves it; the next copy must not see it
    });
    EXPECT_EQ(copyCoefs, freshCoefs) << rate;
    ASSERT_EQ(copySkips.size(), freshSkips.size()) << rate;
    EXPECT_EQ(copySkips.size(), rate < 50000 ? 1U : 0U);
    for (std::size_t i = 0; i < copySkips.size(); ++i) {
      EXPECT_EQ(copySkips[i].index, freshSkips[i].index);
      EXPECT_EQ(copySkips[i].detail, freshSkips[i].detail);
    }
  }
}

}  // namespace
