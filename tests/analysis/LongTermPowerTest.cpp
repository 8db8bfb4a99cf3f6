// A recording read for its spectrum against the independent reader, and the Welch estimate
// against tones whose levels are known.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <stop_token>
#include <string>
#include <vector>

#include "analysis/LongTermPower.h"
#include "analysis/RecordingReader.h"
#include "tests/support/RiffBuilder.h"
#include "tests/support/SndfileReader.h"
#include "tests/support/TestSupport.h"

namespace {

TEST(LongTermPowerTest, WindowsOfAboutFiveHertz) {
  EXPECT_EQ(SpectrumFftSize(16000), 4096U);  // 3.9 Hz
  EXPECT_EQ(SpectrumFftSize(44100), 8192U);  // 5.4 Hz
  EXPECT_EQ(SpectrumFftSize(48000), 8192U);  // 5.9 Hz
  EXPECT_EQ(SpectrumFftSize(8000), 2048U);   // 3.9 Hz
}

// Two tones 20 dB apart, each on a bin (1000 and 3000 Hz are bins 256 and 768 of 4096 at
// 16 kHz): the estimate shows them 20 dB apart and nothing near either far below.
TEST(LongTermPowerTest, TonesTwentyDecibelsApartShowSo) {
  std::vector<float> mono(16000 * 5);
  for (std::size_t i = 0; i < mono.size(); ++i) {
    const double t = static_cast<double>(i) / 16000.0;
    mono[i] = static_cast<float>(0.5 * std::sin(2 * std::numbers::pi * 1000 * t) +
                                 0.05 * std::sin(2 * std::numbers::pi * 3000 * t));
  }
  const LongTermPower s = WelchSpectrum(mono, 16000);
  ASSERT_EQ(s.powerDb.size(), 2049U);
  EXPECT_NEAR(SpectrumDbAt(s, 1000) - SpectrumDbAt(s, 3000), 20.0, 0.1);
  EXPECT_DOUBLE_EQ(s.maxDb, SpectrumDbAt(s, 1000));
  EXPECT_LT(SpectrumDbAt(s, 6000), s.maxDb - 80.0);
  // A clip shorter than one window is one zero-padded window.
  EXPECT_EQ(WelchSpectrum(std::span<const float>(mono).first(100), 16000).powerDb.size(), 2049U);
}

TEST(LongTermPowerTest, ReadsTheStartOfAnyFormatAsTheIndependentReaderDoes) {
  testsupport::TempDir dir;
  // Two seconds of stereo at 8 kHz, read for one: the channels averaged.
  std::vector<std::int16_t> samples;
  for (int i = 0; i < 16000; ++i) {
    samples.push_back(16384);
    samples.push_back(static_cast<std::int16_t>(i % 2 == 0 ? 8192 : -8192));
  }
  const auto bytes = testsupport::PcmWave(2, 8000, 16, testsupport::Pcm16Bytes(samples));
  testsupport::WriteFile(dir.File("stereo.wav"), std::string(bytes.begin(), bytes.end()));
  std::string error;
  const auto stereo = ReadRecording(dir.File("stereo.wav"), 1.0, error);
  ASSERT_TRUE(stereo) << error;
  EXPECT_EQ(stereo->channels, 2);
  EXPECT_EQ(stereo->totalSeconds, 2.0);
  ASSERT_EQ(stereo->mono.size(), 8000U);
  EXPECT_EQ(stereo->mono[0], 0.375F);
  EXPECT_EQ(stereo->mono[1], 0.125F);

  // A FLAC file (read through libsndfile) and an ADPCM file (decoded block by block), against
  // what libsndfile itself reads from them.
  for (const char* name : {"format-flac16-sox.flac", "ima-stereo-sox.wav"}) {
    SCOPED_TRACE(name);
    const std::string path = std::string(TEST_DATA_DIR) + "/" + name;
    const auto read = ReadRecording(path, 600.0, error);
    ASSERT_TRUE(read) << error;
    const testsupport::SndfileRead expected = testsupport::ReadWithSndfile(path);
    ASSERT_TRUE(expected.ok);
    const auto channels = static_cast<std::size_t>(expected.info.channels);
    ASSERT_EQ(read->mono.size(), expected.samples.size() / channels);
    for (std::size_t f = 0; f < read->mono.size(); f += 97) {
      float sum = 0.0F;
      for (std::size_t c = 0; c < channels; ++c) {
        sum += static_cast<float>(expected.samples[f * channels + c]) / 32768.0F;
      }
      EXPECT_NEAR(read->mono[f], sum / static_cast<float>(channels), 1e-6) << f;
    }
  }
  EXPECT_FALSE(ReadRecording(dir.File("missing.wav"), 1.0, error));
  EXPECT_FALSE(error.empty());
}

// A read whose stop is requested gives nothing, whatever the format, and so does the transform.
TEST(LongTermPowerTest, AStoppedReadAndTransformGiveNothing) {
  testsupport::TempDir dir;
  const auto bytes =
      testsupport::PcmWave(1, 8000, 16, testsupport::Pcm16Bytes(std::vector<std::int16_t>(8000)));
  testsupport::WriteFile(dir.File("quiet.wav"), std::string(bytes.begin(), bytes.end()));
  std::stop_source stop;
  stop.request_stop();
  for (const std::string& path :
       {dir.File("quiet.wav"), std::string(TEST_DATA_DIR) + "/format-flac16-sox.flac"}) {
    std::string error;
    EXPECT_FALSE(ReadRecordingPcm(path, 600.0, error, stop.get_token())) << path;
    EXPECT_EQ(error, "the reading was stopped");
  }
  const std::vector<float> mono(80000, 0.5F);
  EXPECT_TRUE(WelchSpectrum(mono, 8000, stop.get_token()).powerDb.empty());
}

}  // namespace
