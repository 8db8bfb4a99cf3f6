// The resampler against sines whose level and frequency are known, and against sox's own
// very-high-quality rate conversion of the same file.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <string>
#include <vector>

#include "delivery/Resampler.h"
#include "tests/delivery/DeliveryTestSupport.h"
#include "tests/support/TestSupport.h"

namespace {

using delivery::Resampler;
using deliverytest::Samples;

// Streams `in` through a resampler in pieces of `pieceFrames`, then flushes it.
Samples Resample(const Samples& in, std::uint32_t outputRate, std::size_t pieceFrames = 4096) {
  auto resampler = Resampler::Create(static_cast<unsigned>(in.channels), in.rate, outputRate);
  EXPECT_TRUE(resampler);
  Samples out;
  out.channels = in.channels;
  out.rate = outputRate;
  if (!resampler) {
    return out;
  }
  const std::size_t piece = pieceFrames * static_cast<std::size_t>(in.channels);
  for (std::size_t first = 0; first < in.values.size(); first += piece) {
    const std::size_t count = std::min(piece, in.values.size() - first);
    resampler->Process(std::span<const double>(in.values).subspan(first, count), out.values);
  }
  resampler->Flush(out.values);
  return out;
}

// The sine of `freq` Hz fitted to one channel over [first, end) frames by least squares
// (a sin + b cos): its amplitude, and the RMS of what is left (noise and distortion).
struct SineFit {
  double amplitude = 0.0;
  double residualRms = 0.0;
};
SineFit FitSine(const Samples& s, int channel, double freq, std::size_t first, std::size_t end) {
  double ss = 0.0, sc = 0.0, cc = 0.0, ys = 0.0, yc = 0.0;
  const auto at = [&](std::size_t f) {
    return s.values[f * static_cast<std::size_t>(s.channels) + static_cast<std::size_t>(channel)];
  };
  const double w = 2.0 * std::numbers::pi * freq / s.rate;
  for (std::size_t f = first; f < end; ++f) {
    const double sn = std::sin(w * static_cast<double>(f));
    const double cs = std::cos(w * static_cast<double>(f));
    ss += sn * sn;
    sc += sn * cs;
    cc += cs * cs;
    ys += at(f) * sn;
    yc += at(f) * cs;
  }
  const double det = ss * cc - sc * sc;
  const double a = (ys * cc - yc * sc) / det;
  const double b = (yc * ss - ys * sc) / det;
  double residual = 0.0;
  for (std::size_t f = first; f < end; ++f) {
    const double e =
        at(f) - a * std::sin(w * static_cast<double>(f)) - b * std::cos(w * static_cast<double>(f));
    residual += e * e;
  }
  return {std::hypot(a, b), std::sqrt(residual / static_cast<double>(end - first))};
}

double Rms(const std::vector<double>& values, std::size_t first, std::size_t end) {
  double sum = 0.0;
  for (std::size_t i = first; i < end; ++i) sum += values[i] * values[i];
  return std::sqrt(sum / static_cast<double>(end - first));
}

// A 997 Hz sine at -1 dBFS from 48 kHz to 16 kHz: the same level within 0.01 dB, and what is
// not the sine (THD+N) below -110 dB of it, away from the ends.
TEST(ResamplerTest, SineKeepsItsLevelWithoutDistortionFrom48To16kHz) {
  const double amplitude = std::pow(10.0, -1.0 / 20.0);
  const Samples out = Resample(deliverytest::Sine(48000, 1, 10.0, 997.0, amplitude), 16000);
  ASSERT_EQ(out.Frames(), 160000U);
  const SineFit fit = FitSine(out, 0, 997.0, 16000, 144000);
  EXPECT_NEAR(20.0 * std::log10(fit.amplitude / amplitude), 0.0, 0.01);
  EXPECT_LT(20.0 * std::log10(fit.residualRms / (fit.amplitude / std::sqrt(2.0))), -110.0);
}

// Tones at and above the new Nyquist frequency (8 kHz) leave at most -100 dB of themselves.
TEST(ResamplerTest, TonesAboveTheNewNyquistAreAttenuatedByAtLeast100dB) {
  for (const double freq : {8100.0, 9000.0, 12000.0, 20000.0, 23900.0}) {
    SCOPED_TRACE(freq);
    const Samples out = Resample(deliverytest::Sine(48000, 1, 2.0, freq, 1.0), 16000);
    const double rms = Rms(out.values, 1600, out.values.size() - 1600);
    EXPECT_LT(20.0 * std::log10(rms / std::sqrt(0.5)), -100.0);
  }
}

// A stereo mixture of tones within the passband of both, resampled by sox (rate -v: very high
// quality, linear phase, 64-bit float out) and by us: the two agree sample for sample, ends
// included, within -90 dB of the signal. Neither delays the output.
TEST(ResamplerTest, AgreesWithSoxVeryHighQuality) {
  Samples in;
  in.channels = 2;
  in.rate = 48000;
  const std::size_t frames = 48000 * 3 + 17;
  for (std::size_t f = 0; f < frames; ++f) {
    const double t = static_cast<double>(f) / in.rate;
    const double tau = 2.0 * std::numbers::pi;
    in.values.push_back(0.3 * std::sin(tau * 997.0 * t) + 0.2 * std::sin(tau * 5000.0 * t + 1.0) +
                        0.1 * std::sin(tau * 150.0 * t + 2.0));
    in.values.push_back(0.4 * std::sin(tau * 440.0 * t) + 0.2 * std::sin(tau * 7000.0 * t + 0.5));
  }
  testsupport::TempDir dir;
  ASSERT_TRUE(deliverytest::WriteDoubleWave(dir.File("in.wav"), in));
  const testsupport::ProcessResult sox =
      testsupport::RunProcess("/usr/bin/sox", {dir.File("in.wav"), "-e", "floating-point", "-b",
                                               "64", dir.File("sox.wav"), "rate", "-v", "16000"});
  ASSERT_EQ(sox.exitCode, 0) << sox.err;
  const Samples expected = deliverytest::ReadWave(dir.File("sox.wav"));
  const Samples ours = Resample(in, 16000, 1000);
  ASSERT_EQ(ours.values.size(), expected.values.size());
  ASSERT_EQ(ours.Frames(), Resampler::OutputFrames(frames, 48000, 16000));
  std::vector<double> difference(ours.values.size());
  for (std::size_t i = 0; i < difference.size(); ++i) {
    difference[i] = ours.values[i] - expected.values[i];
  }
  const double signal = Rms(expected.values, 0, expected.values.size());
  EXPECT_LT(20.0 * std::log10(Rms(difference, 0, difference.size()) / signal), -90.0);
}

// Across rates the program meets, up and down: the flushed output has the length the ratio
// gives (rounded to nearest, halves up), a 500 Hz sine keeps its level, and how the input is cut
// into pieces does not change a bit of the output. Equal rates pass the samples through.
TEST(ResamplerTest, AnyRatePairKeepsLengthLevelAndBits) {
  const std::uint32_t pairs[][2] = {{44100, 48000}, {48000, 44100},  {8000, 384000},
                                    {384000, 8000}, {22050, 16000},  {96000, 44100},
                                    {11025, 8000},  {176400, 192000}};
  for (const auto& pair : pairs) {
    SCOPED_TRACE(std::to_string(pair[0]) + " -> " + std::to_string(pair[1]));
    const Samples in = deliverytest::Sine(pair[0], 2, 1.0 + 1.0 / 7.0, 500.0, 0.5);
    const Samples out = Resample(in, pair[1], 4096);
    EXPECT_EQ(out.Frames(), Resampler::OutputFrames(in.Frames(), pair[0], pair[1]));
    const std::size_t margin = pair[1] / 10;
    const SineFit fit = FitSine(out, 1, 500.0, margin, out.Frames() - margin);
    EXPECT_NEAR(20.0 * std::log10(fit.amplitude / 0.5), 0.0, 0.01);
    EXPECT_EQ(Resample(in, pair[1], 333).values, out.values);
  }
  EXPECT_EQ(Resampler::OutputFrames(1, 44100, 22050), 1U);  // 0.5 rounds up
  EXPECT_EQ(Resampler::OutputFrames(3, 48000, 16000), 1U);
  EXPECT_EQ(Resampler::OutputFrames(2, 48000, 16000), 1U);  // 0.667
  EXPECT_EQ(Resampler::OutputFrames(1, 48000, 16000), 0U);  // 0.333
  EXPECT_EQ(Resampler::OutputFrames(std::uint64_t{1} << 40, 8000, 384000),
            (std::uint64_t{1} << 40) * 48);

  const Samples same = deliverytest::Sine(48000, 2, 0.5, 500.0, 0.5);
  EXPECT_EQ(Resample(same, 48000).values, same.values);
}

// The filter's tail comes only with the flush: without it the output falls short of the
// ratio's length; a sample that is not finite counts as 0 instead of spreading through the
// filter; a rate outside 8 to 384 kHz gives no resampler.
TEST(ResamplerTest, FlushGivesTheTailAndBadSamplesStayLocal) {
  const Samples in = deliverytest::Sine(48000, 1, 1.0, 500.0, 0.5);
  auto resampler = Resampler::Create(1, 48000, 16000);
  ASSERT_TRUE(resampler);
  std::vector<double> out;
  resampler->Process(in.values, out);
  EXPECT_LT(out.size(), 16000U);
  resampler->Flush(out);
  EXPECT_EQ(out.size(), 16000U);

  Samples bad = in;
  bad.values[24000] = std::numeric_limits<double>::quiet_NaN();
  bad.values[24001] = std::numeric_limits<double>::infinity();
  Samples zeroed = in;
  zeroed.values[24000] = 0.0;
  zeroed.values[24001] = 0.0;
  EXPECT_EQ(Resample(bad, 16000).values, Resample(zeroed, 16000).values);

  EXPECT_FALSE(Resampler::Create(1, 7999, 16000));
  EXPECT_FALSE(Resampler::Create(1, 48000, 384001));
  EXPECT_FALSE(Resampler::Create(0, 48000, 16000));
}

}  // namespace
