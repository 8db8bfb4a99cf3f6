// The loudness meter against the EBU test signals (made by make-loudness-signals.py beside this
// file from the published descriptions), against ffmpeg's ebur128 filter as a second meter, and
// against levels worked out by hand.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <optional>
#include <string>
#include <vector>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include "delivery/LoudnessMeter.h"
#include "tests/delivery/DeliveryTestSupport.h"
#include "tests/support/TestSupport.h"

namespace {

using delivery::LoudnessMeter;
using delivery::LoudnessResult;
using deliverytest::Samples;

// Fed in pieces of an odd size, as a stream arrives.
LoudnessResult Measure(const Samples& s, double fullScale = 1.0) {
  auto meter = LoudnessMeter::Create(static_cast<unsigned>(s.channels), s.rate, fullScale);
  EXPECT_TRUE(meter);
  if (!meter) {
    return {};
  }
  const std::size_t piece = 4999 * static_cast<std::size_t>(s.channels);
  for (std::size_t first = 0; first < s.values.size(); first += piece) {
    const std::size_t count = std::min(piece, s.values.size() - first);
    meter->Add(std::span<const double>(s.values).subspan(first, count));
  }
  return meter->Result();
}

// One EBU signal and what its document states: integrated loudness +-0.1 LU, loudness range
// +-1 LU, true peak +0.2/-0.4 dB, each where the document states it.
struct EbuCase {
  const char* name;
  std::optional<double> integratedLufs;
  std::optional<double> rangeLu;
  std::optional<double> truePeakDbtp;
};

const EbuCase kEbuCases[] = {
    {"3341-1", -23.0, {}, {}},     {"3341-2", -33.0, {}, {}}, {"3341-3", -23.0, {}, {}},
    {"3341-4", -23.0, {}, {}},     {"3341-5", -23.0, {}, {}}, {"3341-6", -23.0, {}, {}},
    {"3341-6-lfe", -23.0, {}, {}}, {"3341-15", {}, {}, -6.0}, {"3341-16", {}, {}, -6.0},
    {"3341-17", {}, {}, -6.0},     {"3341-18", {}, {}, -6.0}, {"3341-19", {}, {}, -6.0},
    {"3342-1", {}, 10.0, {}},      {"3342-2", {}, 5.0, {}},   {"3342-3", {}, 20.0, {}},
    {"3342-4", {}, 15.0, {}},
};

TEST(LoudnessMeterTest, EbuTestSignalsReadTheirStatedValuesAsFfmpegReadsThem) {
  testsupport::TempDir dir;
  for (const EbuCase& c : kEbuCases) {
    SCOPED_TRACE(c.name);
    const std::string path = deliverytest::MakeSignal(c.name, dir.Path());
    ASSERT_FALSE(path.empty());
    const Samples s = deliverytest::ReadWave(path);
    ASSERT_GT(s.Frames(), 0U);
    const LoudnessResult r = Measure(s);
    ASSERT_TRUE(r.integratedLufs);
    ASSERT_TRUE(r.truePeakDbtp);
    if (c.integratedLufs) {
      EXPECT_NEAR(*r.integratedLufs, *c.integratedLufs, 0.1);
    }
    if (c.rangeLu) {
      EXPECT_NEAR(r.rangeLu, *c.rangeLu, 1.0);
    }
    if (c.truePeakDbtp) {
      EXPECT_LE(*r.truePeakDbtp, *c.truePeakDbtp + 0.2);
      EXPECT_GE(*r.truePeakDbtp, *c.truePeakDbtp - 0.4);
    }
    // The second meter reads the same loudness and range (it prints one decimal). Its true
    // peak, from a coarser interpolation, is compared on the noise programme below.
    const auto ffmpeg = deliverytest::ReadWithFfmpeg(path);
    ASSERT_TRUE(ffmpeg);
    EXPECT_NEAR(*r.integratedLufs, ffmpeg->integratedLufs, 0.1);
    EXPECT_NEAR(r.rangeLu, ffmpeg->rangeLu, 0.2);
  }
}

// A programme whose values no document states: stereo pink noise whose level wanders every half
// second, with a silent gap. The two meters take their short-term windows for the range at
// different steps (ffmpeg every 100 ms), which moves the range's percentiles of such a programme
// by a few tenths. The sample peak is the largest magnitude in the file.
TEST(LoudnessMeterTest, NoiseProgrammeReadsAsFfmpegReadsIt) {
  testsupport::TempDir dir;
  const std::string path = deliverytest::MakeSignal("noise-programme", dir.Path());
  ASSERT_FALSE(path.empty());
  const Samples s = deliverytest::ReadWave(path);
  const LoudnessResult r = Measure(s);
  const auto ffmpeg = deliverytest::ReadWithFfmpeg(path);
  ASSERT_TRUE(ffmpeg);
  ASSERT_TRUE(r.integratedLufs);
  EXPECT_NEAR(*r.integratedLufs, ffmpeg->integratedLufs, 0.1);
  EXPECT_NEAR(r.rangeLu, ffmpeg->rangeLu, 0.5);
  ASSERT_TRUE(r.truePeakDbtp);
  EXPECT_NEAR(*r.truePeakDbtp, ffmpeg->truePeakDbtp, 0.3);

  double largest = 0.0;
  for (const double v : s.values) largest = std::max(largest, std::fabs(v));
  ASSERT_TRUE(r.samplePeakDbfs);
  EXPECT_NEAR(*r.samplePeakDbfs, 20.0 * std::log10(largest), 1e-9);
  EXPECT_GE(*r.truePeakDbtp, *r.samplePeakDbfs);
}

// A 1 kHz sine of peak -20 dBFS in one channel has a mean square of -23.01 dB; the K-weighting
// gains +0.69 dB at 1 kHz, which the -0.691 of the loudness formula takes back: -23.0 LUFS at
// every rate. Its true and sample peaks are -20 dB. In 16-bit values (full scale 32768) it
// reads the same.
TEST(LoudnessMeterTest, OneChannelSineReadsItsLevelAtAnyRate) {
  for (const std::uint32_t rate : {8000U, 11025U, 16000U, 22050U, 44100U, 48000U, 96000U, 176400U,
                                   192000U, 352800U, 384000U}) {
    SCOPED_TRACE(rate);
    const double amplitude = std::pow(10.0, -20.0 / 20.0);
    const LoudnessResult r = Measure(deliverytest::Sine(rate, 1, 5.0, 1000.0, amplitude));
    ASSERT_TRUE(r.integratedLufs);
    EXPECT_NEAR(*r.integratedLufs, -23.0, 0.1);
    EXPECT_NEAR(r.rangeLu, 0.0, 0.1);
    ASSERT_TRUE(r.truePeakDbtp && r.samplePeakDbfs);
    EXPECT_NEAR(*r.truePeakDbtp, -20.0, 0.05);
    EXPECT_NEAR(*r.samplePeakDbfs, -20.0, 0.05);
  }
  Samples pcm16 = deliverytest::Sine(44100, 2, 5.0, 1000.0, 0.1);
  const LoudnessResult unit = Measure(pcm16);
  for (double& v : pcm16.values) v *= 32768.0;
  const LoudnessResult scaled = Measure(pcm16, 32768.0);
  ASSERT_TRUE(unit.integratedLufs && scaled.integratedLufs);
  EXPECT_EQ(*scaled.integratedLufs, *unit.integratedLufs);
  EXPECT_NEAR(*unit.integratedLufs, -20.0, 0.1);  // two channels of -23.0 each
  EXPECT_EQ(*scaled.truePeakDbtp, *unit.truePeakDbtp);
}

// Nothing to measure gives no loudness rather than a number that is not one: silence (and no
// peaks), a signal below the absolute gate of -70 LUFS (its peaks still read), and less than
// one 400 ms block. Values that are not finite count as zero.
TEST(LoudnessMeterTest, SilenceAndInputBelowTheGateHaveNoLoudness) {
  Samples silence = deliverytest::Sine(48000, 2, 5.0, 1000.0, 0.0);
  const LoudnessResult quiet = Measure(silence);
  EXPECT_FALSE(quiet.integratedLufs);
  EXPECT_EQ(quiet.rangeLu, 0.0);
  EXPECT_FALSE(quiet.truePeakDbtp);
  EXPECT_FALSE(quiet.samplePeakDbfs);

  const LoudnessResult below = Measure(deliverytest::Sine(48000, 2, 5.0, 1000.0, 1e-4));
  EXPECT_FALSE(below.integratedLufs);
  ASSERT_TRUE(below.samplePeakDbfs);
  EXPECT_NEAR(*below.samplePeakDbfs, -80.0, 0.01);

  const LoudnessResult brief = Measure(deliverytest::Sine(48000, 2, 0.3, 1000.0, 0.5));
  EXPECT_FALSE(brief.integratedLufs);
  ASSERT_TRUE(brief.samplePeakDbfs);
  EXPECT_NEAR(*brief.samplePeakDbfs, -6.02, 0.01);

  silence.values[1000] = std::numeric_limits<double>::quiet_NaN();
  silence.values[2001] = std::numeric_limits<double>::infinity();
  silence.values[3000] = -std::numeric_limits<double>::infinity();
  const LoudnessResult bad = Measure(silence);
  EXPECT_FALSE(bad.integratedLufs);
  EXPECT_FALSE(bad.truePeakDbtp);
}

// Speech-like: bursts of tones and noise whose levels rise and fall, over quiet noise, the
// loudest burst late and with a peak between its samples (a quarter of the rate at 45 degrees:
// samples at 0.707 of a true peak of 1), so that a true-peak part passes over many pieces
// before it and must find it.
Samples Bursts(std::uint32_t rate, int channels) {
  Samples s;
  s.channels = channels;
  s.rate = rate;
  const std::size_t frames = rate * std::size_t{12};
  s.values.resize(frames * static_cast<std::size_t>(channels));
  std::uint32_t seed = 12345;
  const double levels[] = {0.2, 0.05, 0.4, 0.1, 0.3, 0.02, 0.25};
  for (std::size_t f = 0; f < frames; ++f) {
    const std::size_t burst = f / (rate / 2);
    const bool inBurst = (f % (rate / 2)) < rate / 4;
    for (int c = 0; c < channels; ++c) {
      seed = seed * 1664525U + 1013904223U;
      const double noise = (static_cast<double>(seed >> 8) / 16777216.0 - 0.5) * 0.002;
      double v = noise;
      if (burst == 20 && inBurst) {
        v = 0.5 *
            std::sin(std::numbers::pi / 2.0 * static_cast<double>(f) + std::numbers::pi / 4.0);
      } else if (inBurst) {
        v += levels[burst % 7] *
             std::sin(2.0 * std::numbers::pi * (300.0 + 40.0 * static_cast<double>(c)) *
                      static_cast<double>(f) / rate);
      }
      s.values[f * static_cast<std::size_t>(channels) + static_cast<std::size_t>(c)] = v;
    }
  }
  return s;
}

// A true-peak part passes over the pieces that cannot raise the peak; its reading is the whole
// measurement's to the bit, at every oversampling of the library and fed in any pieces.
TEST(LoudnessMeterTest, ATruePeakPartReadsTheWholeMeasurementsPeakToTheBit) {
  for (const std::uint32_t rate : {8000U, 16000U, 44100U, 48000U, 96000U, 192000U}) {
    for (const int channels : {1, 2, 3}) {
      SCOPED_TRACE(testing::Message() << rate << " Hz, " << channels << " channels");
      const Samples s = Bursts(rate, channels);
      const LoudnessResult whole = Measure(s);
      auto part = LoudnessMeter::Create(static_cast<unsigned>(channels), rate, 1.0,
                                        LoudnessMeter::Parts::TruePeak);
      ASSERT_TRUE(part);
      const std::size_t piece = 777 * static_cast<std::size_t>(channels);
      for (std::size_t first = 0; first < s.values.size(); first += piece) {
        part->Add(std::span<const double>(s.values).subspan(
            first, std::min(piece, s.values.size() - first)));
      }
      const LoudnessResult peak = part->Result();
      ASSERT_TRUE(whole.truePeakDbtp && peak.truePeakDbtp);
      EXPECT_EQ(*peak.truePeakDbtp, *whole.truePeakDbtp);
      if (rate < 192000) {
        // The late burst's peak between its samples, above every sample of the bursts before.
        EXPECT_GT(*whole.truePeakDbtp, -6.5);
      }
    }
  }
}

// A piece fed after pieces passed over starts from the frames just before it, not from the last
// ones fed: levels held in steps of 1024 frames, where the step after the passed-over ones rings
// further from its true neighbour (-0.25) than it would from the last step fed (+0.25).
TEST(LoudnessMeterTest, APieceAfterPassedOverOnesRingsFromItsTrueNeighbours) {
  const double levels[] = {0.5, 0.25, -0.25, -0.25, -0.25, -0.5, 0.0, 0.0};
  Samples steps;
  steps.channels = 1;
  steps.rate = 48000;
  for (const double level : levels) {
    steps.values.insert(steps.values.end(), 1024, level);
  }
  auto part = LoudnessMeter::Create(1, steps.rate, 1.0, LoudnessMeter::Parts::TruePeak);
  ASSERT_TRUE(part);
  for (std::size_t first = 0; first < steps.values.size(); first += 1024) {
    part->Add(std::span<const double>(steps.values).subspan(first, 1024));
  }
  const LoudnessResult whole = Measure(steps);
  ASSERT_TRUE(whole.truePeakDbtp && part->Result().truePeakDbtp);
  EXPECT_EQ(*part->Result().truePeakDbtp, *whole.truePeakDbtp);
}

// The bound the true-peak part relies on: input of full-scale values of random signs meets the
// oversampling filter's worst case (each phase of it spans 13 frames, whose 8192 sign patterns a
// million frames hold many times over), and stays below the bound.
TEST(LoudnessMeterTest, TheOversamplingRaisesNoValueBeyondTheBoundThePeakPartReliesOn) {
  for (const std::uint32_t rate : {8000U, 44100U, 48000U, 88200U}) {
    SCOPED_TRACE(rate);
    Samples signs;
    signs.channels = 1;
    signs.rate = rate;
    signs.values.resize(std::size_t{1} << 20);
    std::uint64_t x = 88172645463325252ULL;
    for (double& v : signs.values) {
      x ^= x << 13;
      x ^= x >> 7;
      x ^= x << 17;
      v = (x >> 63) != 0 ? 1.0 : -1.0;
    }
    const LoudnessResult r = Measure(signs);
    ASSERT_TRUE(r.truePeakDbtp);
    const double gain = std::pow(10.0, *r.truePeakDbtp / 20.0);
    EXPECT_LE(gain, LoudnessMeter::kInterpolatorGainBound);
    EXPECT_GT(gain, 1.8);  // the worst case was reached, not only a typical one
  }
}

TEST(LoudnessMeterTest, LayoutsTheLibraryCannotMeasureGiveNoMeter) {
  EXPECT_FALSE(LoudnessMeter::Create(0, 48000));
  EXPECT_FALSE(LoudnessMeter::Create(LoudnessMeter::kMaxChannels + 1, 48000));
  EXPECT_FALSE(LoudnessMeter::Create(2, 8));
  EXPECT_TRUE(LoudnessMeter::Create(LoudnessMeter::kMaxChannels, 8000));
}

// Channels past the sixth count at weight 1: eight channels with the same sine in the seventh
// and eighth only read as two front channels do.
TEST(LoudnessMeterTest, ChannelsPastTheSixthCount) {
  Samples eight = deliverytest::Sine(48000, 8, 5.0, 1000.0, 0.0);
  const Samples two = deliverytest::Sine(48000, 2, 5.0, 1000.0, 0.1);
  for (std::size_t f = 0; f < two.Frames(); ++f) {
    eight.values[f * 8 + 6] = two.values[f * 2];
    eight.values[f * 8 + 7] = two.values[f * 2 + 1];
  }
  const LoudnessResult r8 = Measure(eight);
  const LoudnessResult r2 = Measure(two);
  ASSERT_TRUE(r8.integratedLufs && r2.integratedLufs);
  EXPECT_EQ(*r8.integratedLufs, *r2.integratedLufs);
}

#if defined(__GLIBC__)
// The library keeps every 100 ms block of a measurement unless told to count them in a
// histogram: twenty minutes more input must not take more memory than the first minute left.
// (Under AddressSanitizer the allocator is not glibc's and this shows nothing.)
TEST(LoudnessMeterTest, MemoryStaysFlatForAnyLength) {
  auto meter = LoudnessMeter::Create(1, 8000);
  ASSERT_TRUE(meter);
  const Samples minute = deliverytest::Sine(8000, 1, 60.0, 1000.0, 0.1);
  meter->Add(minute.values);
  ASSERT_TRUE(meter->Result().integratedLufs);
  const std::size_t before = mallinfo2().uordblks;
  for (int i = 0; i < 20; ++i) meter->Add(minute.values);
  ASSERT_TRUE(meter->Result().integratedLufs);
  const std::size_t after = mallinfo2().uordblks;
  EXPECT_LT(after, before + 4096) << before << " -> " << after;
}
#endif

}  // namespace
