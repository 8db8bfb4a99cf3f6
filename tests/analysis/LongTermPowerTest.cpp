// A recording read for its spectrum against the independent reader, and the Welch estimate
// against tones whose levels are known.
#include <gtest/gtest.h>

#include <kiss_fftr.h>

#include <cmath>
#include <numbers>
#include <random>
#include <stop_token>
#include <string>
#include <vector>

#include "analysis/LongTermPower.h"
#include "analysis/RecordingReader.h"
#include "analysis/RecordingScan.h"
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
  testsupport::WriteFile(dir.File("stereo.wav"),
                         testsupport::PcmWave(2, 8000, 16, testsupport::Pcm16Bytes(samples)));
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
  testsupport::WriteFile(dir.File("quiet.wav"),
                         testsupport::PcmWave(1, 8000, 16, std::vector<std::uint8_t>(16000)));
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

// Welch's estimate written the plain way: every window of n samples starting at 0, n / 2, n,
// ... that fits, Hann-weighted, through kissfft, the powers averaged.
std::vector<double> NaiveWelchDb(const std::vector<float>& mono, std::size_t n) {
  kiss_fftr_state* cfg = kiss_fftr_alloc(static_cast<int>(n), 0, nullptr, nullptr);
  std::vector<double> power(n / 2 + 1, 0.0);
  std::vector<float> frame(n);
  std::vector<kiss_fft_cpx> bins(n / 2 + 1);
  std::size_t windows = 0;
  for (std::size_t start = 0; start + n <= mono.size(); start += n / 2, ++windows) {
    for (std::size_t i = 0; i < n; ++i) {
      const double hann = 0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * static_cast<double>(i) /
                                               static_cast<double>(n));
      frame[i] = mono[start + i] * static_cast<float>(hann);
    }
    kiss_fftr(cfg, frame.data(), bins.data());
    for (std::size_t k = 0; k < bins.size(); ++k) {
      power[k] +=
          static_cast<double>(bins[k].r) * bins[k].r + static_cast<double>(bins[k].i) * bins[k].i;
    }
  }
  kiss_fftr_free(cfg);
  std::vector<double> db;
  db.reserve(power.size());
  for (const double p : power) {
    db.push_back(10.0 * std::log10(p / static_cast<double>(windows) + 1e-30));
  }
  return db;
}

// Fed in blocks of any size, the estimate has the bits of the plain one over the whole.
TEST(LongTermPowerTest, FedInBlocksItIsThePlainEstimateOverTheWhole) {
  std::mt19937 random(5);
  std::normal_distribution<float> noise(0.0F, 0.2F);
  std::vector<float> mono(8000 * 3 + 333);
  for (float& s : mono) {
    s = noise(random);
  }
  const std::vector<double> plain = NaiveWelchDb(mono, SpectrumFftSize(8000));
  EXPECT_EQ(WelchSpectrum(mono, 8000).powerDb, plain);
  for (const std::size_t block : {std::size_t{1}, std::size_t{777}, std::size_t{2048}}) {
    WelchAccumulator welch(8000);
    for (std::size_t at = 0; at < mono.size(); at += block) {
      welch.Add(std::span<const float>(mono).subspan(at, std::min(block, mono.size() - at)));
    }
    EXPECT_EQ(welch.Finish().powerDb, plain) << block;
  }
}

// The spectrum of a selection, read from the file, is the estimate over the selected frames
// of the averaged channels; a stop asked for gives none.
TEST(LongTermPowerTest, ASelectionsSpectrumIsTheEstimateOfItsFrames) {
  testsupport::TempDir dir;
  std::mt19937 random(7);
  std::uniform_int_distribution<int> sample(-20000, 20000);
  std::vector<std::int16_t> samples(2 * 100000);
  for (auto& s : samples) {
    s = static_cast<std::int16_t>(sample(random));
  }
  testsupport::WriteFile(dir.File("noise.wav"),
                         testsupport::PcmWave(2, 16000, 16, testsupport::Pcm16Bytes(samples)));
  std::string error;
  const auto selected = SelectionSpectrum(dir.File("noise.wav"), 30000, 90001, {}, error);
  ASSERT_TRUE(selected) << error;
  std::vector<float> mono;
  for (std::size_t f = 30000; f < 90001; ++f) {
    const float sum = static_cast<float>(samples[2 * f]) / 32768.0F +
                      static_cast<float>(samples[2 * f + 1]) / 32768.0F;
    mono.push_back(sum / 2.0F);
  }
  EXPECT_EQ(selected->powerDb, NaiveWelchDb(mono, 4096));
  std::stop_source stop;
  stop.request_stop();
  EXPECT_FALSE(SelectionSpectrum(dir.File("noise.wav"), 0, 100, stop.get_token(), error));
}

}  // namespace
