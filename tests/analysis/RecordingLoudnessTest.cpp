// The recording's loudness the window shows: a stereo sine whose loudness and true peak are
// worked out by hand, before the bands and through them, read a block at a time past the first
// ten minutes; and a measurement asked to stop.
#include "analysis/RecordingLoudness.h"

#include <gtest/gtest.h>

#include <cmath>
#include <stop_token>
#include <string>
#include <vector>

#include "tests/support/RiffBuilder.h"
#include "tests/support/TestSupport.h"

namespace {

// `seconds` of a 1 kHz stereo sine at -20 dBFS, 16-bit at 8 kHz: -20 LUFS (both channels, the
// reference's own case) and a true peak of -20 dBTP.
std::string WriteSine(const testsupport::TempDir& dir, std::size_t seconds) {
  const std::size_t frames = seconds * 8000;
  const double amplitude = 32768.0 * std::pow(10.0, -20.0 / 20.0);
  std::vector<std::int16_t> samples(2 * frames);
  for (std::size_t f = 0; f < frames; ++f) {
    const auto v = static_cast<std::int16_t>(
        std::lround(amplitude * std::sin(2.0 * 3.141592653589793 * 1000.0 * f / 8000.0 + 0.3)));
    samples[2 * f] = v;
    samples[2 * f + 1] = v;
  }
  std::string path = dir.File("sine.wav");
  testsupport::WriteFile(path, testsupport::PcmWave(2, 8000, 16, testsupport::Pcm16Bytes(samples)));
  return path;
}

TEST(RecordingLoudnessTest, TheWholeRecordingBeforeAndThroughTheBands) {
  testsupport::TempDir dir;
  // Eleven minutes: more than the window reads for its spectrum.
  const std::string path = WriteSine(dir, 660);
  EqBandTable bands;
  bands.preampDb = -6.0;
  std::string error;
  const auto both = MeasureRecordingLoudness(path, true, &bands, {}, error);
  ASSERT_TRUE(both) << error;
  ASSERT_TRUE(both->source && both->equalized);
  ASSERT_TRUE(both->source->integratedLufs && both->source->truePeakDbtp);
  EXPECT_NEAR(*both->source->integratedLufs, -20.0, 0.1);
  EXPECT_NEAR(*both->source->truePeakDbtp, -20.0, 0.1);
  ASSERT_TRUE(both->equalized->integratedLufs && both->equalized->truePeakDbtp);
  EXPECT_NEAR(*both->equalized->integratedLufs, -26.0, 0.1);
  EXPECT_NEAR(*both->equalized->truePeakDbtp, -26.0, 0.1);

  const auto only = MeasureRecordingLoudness(path, false, &bands, {}, error);
  ASSERT_TRUE(only);
  EXPECT_FALSE(only->source);
  EXPECT_EQ(only->equalized->integratedLufs, both->equalized->integratedLufs);

  std::stop_source stop;
  stop.request_stop();
  EXPECT_FALSE(MeasureRecordingLoudness(path, true, &bands, stop.get_token(), error));
}

}  // namespace
