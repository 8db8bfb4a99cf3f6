// Conversions with delivery steps: the normalising gain (two passes, one gain stage through the
// preamp, the output read again by ffmpeg's ebur128 filter), and the output's rate, channels
// and depth against sox and against levels worked out by hand.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "convert/ConversionJob.h"
#include "tests/delivery/DeliveryTestSupport.h"
#include "tests/support/TestSupport.h"

namespace {

using testsupport::ReadFile;
using testsupport::RunProcess;
using testsupport::TempDir;

// A few bands that change the level: a high-pass, a presence bell, a low-pass, and a preamp.
EqBandTable SpeechBands(double preampDb = -3.0) {
  EqBandTable table{
      EqBand{.type = 2, .index = 0, .enable = 1, .gain = 24, .cutoffFreq = 80, .stopFreq = 40},
      EqBand{.type = 1, .index = 1, .enable = 1, .gain = 6, .qual = 1.0, .centFreq = 3000},
      EqBand{.type = 3, .index = 2, .enable = 1, .gain = 24, .cutoffFreq = 7000, .stopFreq = 7900}};
  table.preampDb = preampDb;
  return table;
}

// Runs sox with `args`; true when it succeeded.
bool Sox(const std::vector<std::string>& args) {
  return RunProcess("/usr/bin/sox", args).exitCode == 0;
}

struct Delivered {
  ConversionResult result;
  std::string output;  // the output's bytes; empty when none was written
};

Delivered Deliver(const std::string& source, const std::string& output, const EqBandTable& table,
                  const delivery::DeliverySettings& settings, bool measure = true) {
  ConversionJob job{.sourcePath = source, .outputPath = output};
  job.delivery = settings;
  job.measureOutput = measure;
  std::remove(output.c_str());
  Delivered d{ConvertFile(job, table, nullptr, 0), {}};
  if (d.result.Converted()) {
    d.output = ReadFile(output);
  }
  return d;
}

// The Information lines between the time line and "Apply ...", where the gain's lines stand.
std::vector<std::string> GainLines(const ConversionResult& result) {
  std::vector<std::string> lines;
  bool after = false;
  for (const TranscriptLine& line : result.lines) {
    if (line.text.rfind("Apply the equalizer", 0) == 0) {
      break;
    }
    if (after) {
      lines.push_back(line.text);
    }
    after = after || line.text.rfind("Time:", 0) == 0;
  }
  return lines;
}

class DeliveryConversionTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    // The noise programme of the loudness tests (pink noise whose level wanders as speech does,
    // two seconds of silence in it), as 24-bit stereo at 48 kHz, made once for the suite.
    s_folder = std::make_unique<TempDir>();
    const std::string programme = deliverytest::MakeSignal("noise-programme", s_folder->Path());
    s_programme = s_folder->File("programme.wav");
    if (programme.empty() || !Sox({"-D", programme, "-b", "24", s_programme})) {
      s_programme.clear();
    }
  }
  static void TearDownTestSuite() { s_folder.reset(); }
  void SetUp() override {
    ASSERT_FALSE(s_programme.empty()) << "the noise programme cannot be made";
    m_programme = s_programme;
  }

  static inline std::unique_ptr<TempDir> s_folder;
  static inline std::string s_programme;
  TempDir m_dir;
  std::string m_programme;
};

TEST_F(DeliveryConversionTest, ANormalisedOutputIsTheConversionWithThePreampRaisedByItsGain) {
  struct Case {
    const char* name;
    delivery::DeliverySettings settings;
  };
  const Case cases[] = {
      {"gain only", {.targetLufs = -20.0}},
      {"gain, rate, depth",
       {.targetLufs = -18.0, .sampleRate = 44100, .depth = delivery::SampleDepth::Int16}},
      {"gain and mono", {.targetLufs = -24.0, .ceilingDbtp = -2.0, .channels = 1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const EqBandTable table = SpeechBands();
    const Delivered normalised = Deliver(m_programme, m_dir.File("n.wav"), table, c.settings);
    ASSERT_TRUE(normalised.result.Converted()) << RenderTranscript(normalised.result.lines);
    ASSERT_TRUE(normalised.result.delivery.gainDb);
    const double gain = *normalised.result.delivery.gainDb;
    EXPECT_GT(std::fabs(gain), 1.0);
    EXPECT_EQ(GainLines(normalised.result), std::vector<std::string>{});

    EqBandTable raised = table;
    raised.preampDb += gain;
    delivery::DeliverySettings noGain = c.settings;
    noGain.targetLufs.reset();
    noGain.ceilingDbtp.reset();
    const Delivered plain = Deliver(m_programme, m_dir.File("p.wav"), raised, noGain);
    ASSERT_TRUE(plain.result.Converted());
    EXPECT_FALSE(plain.result.delivery.gainDb);
    EXPECT_TRUE(normalised.output == plain.output) << "the outputs differ";
  }
}

TEST_F(DeliveryConversionTest, TheOutputReadsItsTargetAndFfmpegAgrees) {
  for (const double target : {-16.0, -23.0, -31.5}) {
    SCOPED_TRACE(target);
    const std::string output = m_dir.File("out.wav");
    const Delivered d =
        Deliver(m_programme, output, SpeechBands(), {.targetLufs = target, .ceilingDbtp = 0.0});
    ASSERT_TRUE(d.result.Converted()) << RenderTranscript(d.result.lines);
    EXPECT_EQ(GainLines(d.result), std::vector<std::string>{});
    ASSERT_TRUE(d.result.loudness.integratedLufs);
    EXPECT_NEAR(*d.result.loudness.integratedLufs, target, 0.1);
    const auto ffmpeg = deliverytest::ReadWithFfmpeg(output);
    ASSERT_TRUE(ffmpeg);
    EXPECT_NEAR(ffmpeg->integratedLufs, target, 0.2);
  }
}

// The numbers of the line "The loudness target T LUFS is not reached: the true-peak ceiling C
// dBTP limits the gain to G dB, S LU short of it."
struct ShortLine {
  double target = 0, ceiling = 0, gain = 0, shortfall = 0;
};
std::optional<ShortLine> ParseShortLine(const std::string& line) {
  ShortLine n;
  if (std::sscanf(line.c_str(),
                  "The loudness target %lf LUFS is not reached: the true-peak ceiling %lf dBTP "
                  "limits the gain to %lf dB, %lf LU short of it.",
                  &n.target, &n.ceiling, &n.gain, &n.shortfall) != 4) {
    return std::nullopt;
  }
  return n;
}

TEST_F(DeliveryConversionTest, TheCeilingLowersTheGainAndTheLineSaysByHowMuch) {
  // A 1 kHz stereo sine at -12 dBFS reads -12 LUFS and -12 dBTP. To reach 0 LUFS it needs
  // +12 dB, which would take its true peak to 0 dBTP: the ceiling of -1 dBTP allows +11 dB,
  // 1 LU short of the target.
  const std::string sine = m_dir.File("sine.wav");
  ASSERT_TRUE(Sox({"-n", "-r", "48000", "-e", "floating-point", "-b", "32", "-c", "2", sine,
                   "synth", "20", "sine", "1000", "vol", "-12dB"}));
  const std::string output = m_dir.File("out.wav");
  const Delivered d = Deliver(sine, output, EqBandTable{}, {.targetLufs = 0.0});
  ASSERT_TRUE(d.result.Converted());
  const std::vector<std::string> lines = GainLines(d.result);
  ASSERT_EQ(lines.size(), 1U);
  const auto numbers = ParseShortLine(lines[0]);
  ASSERT_TRUE(numbers) << lines[0];
  EXPECT_EQ(numbers->target, 0.0);
  EXPECT_EQ(numbers->ceiling, -1.0);
  EXPECT_NEAR(numbers->gain, 11.0, 0.1);
  EXPECT_NEAR(numbers->shortfall, 1.0, 0.1);
  ASSERT_TRUE(d.result.delivery.gainDb);
  EXPECT_NEAR(*d.result.delivery.gainDb, 11.0, 0.05);
  ASSERT_TRUE(d.result.loudness.truePeakDbtp && d.result.loudness.integratedLufs);
  EXPECT_NEAR(*d.result.loudness.truePeakDbtp, -1.0, 0.05);
  EXPECT_NEAR(*d.result.loudness.integratedLufs, -1.0, 0.1);

  // Without a target the ceiling alone lowers a peak above it.
  EqBandTable boosted;
  boosted.preampDb = 14.0;
  const Delivered lowered = Deliver(sine, output, boosted, {.ceilingDbtp = -1.0});
  ASSERT_TRUE(lowered.result.Converted());
  const std::vector<std::string> loweredLines = GainLines(lowered.result);
  ASSERT_EQ(loweredLines.size(), 1U);
  double by = 0.0;
  EXPECT_EQ(std::sscanf(loweredLines[0].c_str(),
                        "The output is lowered by %lf dB so that its true peak meets the ceiling "
                        "-1.0 dBTP.",
                        &by),
            1)
      << loweredLines[0];
  EXPECT_NEAR(by, 3.0, 0.1);  // -12 + 14 = +2 dBTP, 3 dB above -1
  ASSERT_TRUE(lowered.result.loudness.truePeakDbtp);
  EXPECT_NEAR(*lowered.result.loudness.truePeakDbtp, -1.0, 0.05);
}

TEST_F(DeliveryConversionTest, ASilentOrBelowGateSourceIsNotAmplifiedAndTheLineSaysWhy) {
  const std::string silence = m_dir.File("silence.wav");
  const std::string faint = m_dir.File("faint.wav");
  ASSERT_TRUE(Sox({"-D", "-n", "-r", "48000", "-b", "24", "-c", "2", silence, "trim", "0", "5"}));
  ASSERT_TRUE(Sox({"-D", "-n", "-r", "48000", "-b", "24", "-c", "2", faint, "synth", "5", "sine",
                   "1000", "vol", "-80dB"}));
  for (const std::string& source : {silence, faint}) {
    SCOPED_TRACE(source);
    const Delivered d =
        Deliver(source, m_dir.File("out.wav"), EqBandTable{}, {.targetLufs = -16.0});
    ASSERT_TRUE(d.result.Converted());
    EXPECT_EQ(GainLines(d.result),
              std::vector<std::string>{
                  "The output is not amplified: it is silent or below the loudness gate of -70 "
                  "LUFS, so it has no loudness to bring to -16.0 LUFS."});
    EXPECT_EQ(d.result.delivery.gainDb, 0.0);
    const Delivered plain = Deliver(source, m_dir.File("plain.wav"), EqBandTable{}, {});
    EXPECT_TRUE(d.output == plain.output);
  }
}

}  // namespace
