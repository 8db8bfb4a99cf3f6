// The normalising gain against cases worked out by hand, and a programme normalised with it as
// ffmpeg's meter reads it afterwards.
#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>

#include "delivery/LoudnessMeter.h"
#include "delivery/NormalisationGain.h"
#include "tests/delivery/DeliveryTestSupport.h"
#include "tests/support/TestSupport.h"

namespace {

using delivery::ComputeNormalisationGain;
using delivery::GainOutcome;

struct GainCase {
  const char* what;
  std::optional<double> integrated, truePeak, target, ceiling;
  double gainDb;
  GainOutcome outcome;
  double shortfallLu;
};

const GainCase kCases[] = {
    {"reached", -20.0, -6.0, -16.0, -1.0, 4.0, GainOutcome::Reached, 0.0},
    {"lowered: the peak would reach +1", -20.0, -3.0, -16.0, -1.0, 2.0,
     GainOutcome::LoweredForCeiling, 2.0},
    {"attenuated to the target", -10.0, 0.5, -16.0, -1.0, -6.0, GainOutcome::Reached, 0.0},
    {"attenuated for the ceiling below a target it asks to raise", -16.5, -0.5, -16.0, -1.0, -0.5,
     GainOutcome::LoweredForCeiling, 1.0},
    {"exactly at the ceiling", -20.0, -5.0, -16.0, -1.0, 4.0, GainOutcome::Reached, 0.0},
    {"below the gate", {}, -40.0, -16.0, -1.0, 0.0, GainOutcome::NotAmplifiedBelowGate, 0.0},
    {"silent", {}, {}, -16.0, -1.0, 0.0, GainOutcome::NotAmplifiedBelowGate, 0.0},
    {"too short to gate, too loud", std::nullopt, 0.0, -16.0, -1.0, -1.0,
     GainOutcome::LoweredForCeiling, 1.0},
    {"no target, peak over the ceiling", -14.0, 0.3, std::nullopt, -1.0, -1.3,
     GainOutcome::LoweredForCeiling, 1.3},
    {"no target, peak within", -14.0, -3.0, {}, -1.0, 0.0, GainOutcome::Unchanged, 0.0},
    {"no ceiling", -30.0, -2.0, -16.0, {}, 14.0, GainOutcome::Reached, 0.0},
    {"nothing asked", -30.0, -2.0, {}, {}, 0.0, GainOutcome::Unchanged, 0.0},
};

TEST(NormalisationGainTest, GainMeetsTheTargetUnlessTheCeilingOrTheGateSaysOtherwise) {
  for (const GainCase& c : kCases) {
    SCOPED_TRACE(c.what);
    const auto g = ComputeNormalisationGain(c.integrated, c.truePeak, c.target, c.ceiling);
    EXPECT_NEAR(g.gainDb, c.gainDb, 1e-12);
    EXPECT_EQ(g.outcome, c.outcome);
    EXPECT_NEAR(g.shortfallLu, c.shortfallLu, 1e-12);
  }
}

// The noise programme measured, its gain for -23 LUFS with a ceiling of -1 dBTP applied as one
// factor, and the result read again by our meter and by ffmpeg's: -23 LUFS within 0.1 and 0.2.
TEST(NormalisationGainTest, NormalisedProgrammeReadsTheTargetInBothMeters) {
  testsupport::TempDir dir;
  const std::string path = deliverytest::MakeSignal("noise-programme", dir.Path());
  ASSERT_FALSE(path.empty());
  deliverytest::Samples s = deliverytest::ReadWave(path);
  const auto measure = [](const deliverytest::Samples& samples) {
    auto meter = delivery::LoudnessMeter::Create(2, samples.rate);
    meter->Add(samples.values);
    return meter->Result();
  };
  const delivery::LoudnessResult before = measure(s);
  const auto g = ComputeNormalisationGain(before.integratedLufs, before.truePeakDbtp, -23.0, -1.0);
  ASSERT_EQ(g.outcome, GainOutcome::Reached);
  const double factor = std::pow(10.0, g.gainDb / 20.0);
  for (double& v : s.values) v *= factor;
  const delivery::LoudnessResult after = measure(s);
  ASSERT_TRUE(after.integratedLufs && after.truePeakDbtp);
  EXPECT_NEAR(*after.integratedLufs, -23.0, 0.1);
  EXPECT_NEAR(*after.truePeakDbtp, *before.truePeakDbtp + g.gainDb, 1e-6);

  ASSERT_TRUE(deliverytest::WriteDoubleWave(dir.File("normalised.wav"), s));
  const auto ffmpeg = deliverytest::ReadWithFfmpeg(dir.File("normalised.wav"));
  ASSERT_TRUE(ffmpeg);
  EXPECT_NEAR(ffmpeg->integratedLufs, -23.0, 0.2);
}

}  // namespace
