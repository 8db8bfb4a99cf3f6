// The measurement of what a conversion writes: the threaded meter of stored samples against the
// library's meter fed values decoded here, sample by sample; and whole conversions whose outputs
// are read again by ffmpeg's ebur128 filter, a second meter.
#include "convert/OutputMeter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "convert/ConversionJob.h"
#include "delivery/LoudnessMeter.h"
#include "platform/text/NumberText.h"
#include "tests/delivery/DeliveryTestSupport.h"
#include "tests/support/RandomSampleBytes.h"
#include "tests/support/TestSupport.h"

namespace {

using testsupport::TempDir;

// The value of stored sample `i` of `encoding`, full scale 1.0, written out once per encoding.
double NaiveValue(SampleEncoding encoding, const std::vector<std::uint8_t>& bytes, std::size_t i) {
  switch (encoding) {
    case SampleEncoding::Pcm8: return (bytes[i] - 128) / 128.0;
    case SampleEncoding::Pcm16: {
      std::int16_t v = 0;
      std::memcpy(&v, &bytes[2 * i], 2);
      return v / 32768.0;
    }
    case SampleEncoding::Pcm24: {
      const std::int32_t v = bytes[3 * i] | bytes[3 * i + 1] << 8 | bytes[3 * i + 2] << 16;
      return (v >= (1 << 23) ? v - (1 << 24) : v) / 8388608.0;
    }
    case SampleEncoding::Pcm32: {
      std::int32_t v = 0;
      std::memcpy(&v, &bytes[4 * i], 4);
      return v / 2147483648.0;
    }
    case SampleEncoding::Float32: {
      float v = 0;
      std::memcpy(&v, &bytes[4 * i], 4);
      return v;
    }
    case SampleEncoding::Float64: {
      double v = 0;
      std::memcpy(&v, &bytes[8 * i], 8);
      return v;
    }
  }
  return 0.0;
}

TEST(OutputMeterTest, EveryEncodingFedInPiecesThatSplitFramesMeasuresAsItsDecodedValues) {
  constexpr unsigned kChannels = 6;  // the true peak in four groups: 1, 2, 1 and 2 channels
  constexpr std::uint32_t kRate = 44100;
  const std::size_t samples = kRate * 5 * kChannels;
  for (const SampleEncoding encoding :
       {SampleEncoding::Pcm8, SampleEncoding::Pcm16, SampleEncoding::Pcm24, SampleEncoding::Pcm32,
        SampleEncoding::Float32, SampleEncoding::Float64}) {
    SCOPED_TRACE(static_cast<int>(encoding));
    std::mt19937 rng(7);
    const std::vector<std::uint8_t> bytes = testsupport::RandomSampleBytes(encoding, samples, rng);
    // Pieces of a prime size: most of them end inside a sample and inside a frame; a last
    // partial frame (two samples more) is left out. The parts on threads of their own, and on
    // the caller's (a conversion of one thread).
    std::vector<std::uint8_t> fed = bytes;
    fed.insert(fed.end(), bytes.begin(), bytes.begin() + 2 * (bytes.size() / samples));
    std::vector<OutputLoudness> both;
    for (const bool ownThreads : {true, false}) {
      auto meter = OutputMeter::Create(encoding, kChannels, kRate, ownThreads);
      ASSERT_TRUE(meter);
      for (std::size_t first = 0; first < fed.size(); first += 1000003) {
        meter->Add(fed.data() + first, std::min<std::size_t>(1000003, fed.size() - first));
      }
      both.push_back(meter->Finish());
    }
    const OutputLoudness& measured = both[0];
    EXPECT_EQ(both[1].integratedLufs, measured.integratedLufs);
    EXPECT_EQ(both[1].truePeakDbtp, measured.truePeakDbtp);

    auto reference = delivery::LoudnessMeter::Create(kChannels, kRate);
    ASSERT_TRUE(reference);
    std::vector<double> values(samples);
    for (std::size_t i = 0; i < samples; ++i) {
      values[i] = NaiveValue(encoding, bytes, i);
    }
    reference->Add(values);
    const delivery::LoudnessResult expected = reference->Result();
    ASSERT_TRUE(measured.measured);
    ASSERT_TRUE(expected.integratedLufs && measured.integratedLufs);
    EXPECT_EQ(*measured.integratedLufs, *expected.integratedLufs);
    EXPECT_EQ(measured.rangeLu, expected.rangeLu);
    EXPECT_EQ(measured.truePeakDbtp, expected.truePeakDbtp);
    EXPECT_EQ(measured.samplePeakDbfs, expected.samplePeakDbfs);
  }
}

// The numbers of a loudness line: LUFS (NaN below the gate), range, true peak; empty when the
// line is not one.
std::optional<std::array<double, 3>> LoudnessNumbers(const std::string& line) {
  std::array<double, 3> n{};
  if (std::sscanf(line.c_str(), "Loudness %lf LUFS, range %lf LU, true peak %lf dBTP.", &n[0],
                  &n[1], &n[2]) == 3) {
    return n;
  }
  n = {NAN, 0.0, 0.0};
  if (std::sscanf(line.c_str(), "Loudness below the gate of -70 LUFS, true peak %lf dBTP.",
                  &n[2]) == 1) {
    return n;
  }
  return std::nullopt;
}

TEST(OutputMeterTest, TheLoudnessLineFollowsTheClippingLineWhenAskedForInBothWays) {
  TempDir dir;
  // A 16-bit sine at -3 dBFS through a 6 dB preamp clips (where its magnitude passes -6 dBFS,
  // 11/24 of each cycle at 48 kHz); a float one at -23 dBFS through -20 dB is -43 LUFS with a
  // true peak of -43 dBTP, through -50 dB below the gate.
  const std::string loud = dir.File("loud.wav");
  const std::string quiet = dir.File("quiet.wav");
  ASSERT_TRUE(deliverytest::Sox({"-D", "-n", "-r", "48000", "-b", "16", "-c", "2", loud, "synth",
                                 "10", "sine", "1000", "vol", "-3dB"}));
  ASSERT_TRUE(deliverytest::Sox({"-n", "-r", "48000", "-e", "floating-point", "-b", "32", "-c", "2",
                                 quiet, "synth", "10", "sine", "1000", "vol", "-23dB"}));
  struct Case {
    std::string source;
    double preampDb;
    std::string clipping;        // the clipping line; empty: none
    std::optional<double> lufs;  // empty: read by ffmpeg
    double truePeak;             // with lufs
    double samplePeak;           // of what was stored
  };
  const Case cases[] = {
      {loud, 6.0, "Clipped 440000 of 960000 samples, peak 3.00 dBFS.", std::nullopt, 0.0, 0.0},
      {quiet, -20.0, "", -43.0, -43.0, -43.0},
      {quiet, -50.0, "", NAN, -73.0, -73.0},
  };
  for (const Case& c : cases) {
    for (const bool wholeFile : {false, true}) {
      SCOPED_TRACE(std::to_string(c.preampDb) + (wholeFile ? " whole file" : " streamed"));
      EqBandTable table;
      table.preampDb = c.preampDb;
      const std::string output = dir.File("out.wav");
      ConversionJob job{.sourcePath = c.source, .outputPath = output};
      job.wholeFile = wholeFile;
      job.sayLoudness = true;
      const ConversionResult said = ConvertFile(job, table, nullptr, 0);
      ASSERT_TRUE(said.Converted());
      std::vector<std::string> tail;
      for (std::size_t i = said.lines.size() - (c.clipping.empty() ? 3 : 4); i < said.lines.size();
           ++i) {
        EXPECT_EQ(said.lines[i].kind, TranscriptLine::Kind::Information);
        tail.push_back(said.lines[i].text);
      }
      EXPECT_EQ(tail.front(), "Apply the equalizer filter parameter.");
      EXPECT_EQ(tail.back(), "Write to output file(" + output + ").");
      if (!c.clipping.empty()) {
        EXPECT_EQ(tail[1], c.clipping);
      }
      const auto numbers = LoudnessNumbers(tail[tail.size() - 2]);
      ASSERT_TRUE(numbers) << tail[tail.size() - 2];
      std::array<double, 3> expected{c.lufs.value_or(0.0), 0.0, c.truePeak};
      if (!c.lufs) {
        // The clipped output's loudness, which no hand works out: as ffmpeg reads it.
        const auto ffmpeg = deliverytest::ReadWithFfmpeg(output);
        ASSERT_TRUE(ffmpeg);
        expected = {ffmpeg->integratedLufs, 0.0, ffmpeg->truePeakDbtp};
      }
      if (std::isnan(expected[0])) {
        EXPECT_TRUE(std::isnan((*numbers)[0]));
      } else {
        EXPECT_NEAR((*numbers)[0], expected[0], 0.15);
      }
      EXPECT_EQ((*numbers)[1], expected[1]);
      EXPECT_NEAR((*numbers)[2], expected[2], 0.25);
      ASSERT_TRUE(said.loudness.measured && said.loudness.samplePeakDbfs);
      EXPECT_NEAR(*said.loudness.samplePeakDbfs, c.samplePeak, 0.01);
      EXPECT_EQ(said.loudness.integratedLufs.has_value(), !std::isnan(expected[0]));
      // Without /loudness the same transcript lacks only that line.
      job.sayLoudness = false;
      std::vector<TranscriptLine> lines = said.lines;
      lines.erase(lines.end() - 2);
      EXPECT_EQ(RenderTranscript(ConvertFile(job, table, nullptr, 0).lines),
                RenderTranscript(lines));
    }
  }
}

TEST(OutputMeterTest, SilenceHasNoLoudnessAndNoPeaksAndAnUnaskedOrFailedJobMeasuresNothing) {
  TempDir dir;
  const std::string source = dir.File("silence.wav");
  ASSERT_TRUE(deliverytest::Sox(
      {"-D", "-n", "-r", "16000", "-b", "16", "-c", "1", source, "trim", "0", "5"}));
  ConversionJob said{.sourcePath = source, .outputPath = dir.File("out.wav")};
  said.sayLoudness = true;
  const ConversionResult silent = ConvertFile(said, EqBandTable{}, nullptr, 0);
  ASSERT_TRUE(silent.Converted());
  EXPECT_EQ(silent.lines[silent.lines.size() - 2].text,
            "Loudness below the gate of -70 LUFS: the output is silent.");
  EXPECT_TRUE(silent.loudness.measured);
  EXPECT_FALSE(silent.loudness.integratedLufs);
  EXPECT_FALSE(silent.loudness.rangeLu);
  EXPECT_FALSE(silent.loudness.truePeakDbtp);
  EXPECT_FALSE(silent.loudness.samplePeakDbfs);

  ConversionJob unasked{.sourcePath = source, .outputPath = dir.File("unasked.wav")};
  EXPECT_FALSE(ConvertFile(unasked, EqBandTable{}, nullptr, 0).loudness.measured);

  // The output's folder does not exist: nothing is written, so nothing was measured.
  ConversionJob missing{.sourcePath = source, .outputPath = dir.File("missing/out.wav")};
  missing.measureOutput = true;
  const ConversionResult failed = ConvertFile(missing, EqBandTable{}, nullptr, 0);
  EXPECT_FALSE(failed.Converted());
  EXPECT_FALSE(failed.loudness.measured);
}

}  // namespace
