// Conversions with delivery steps: the normalising gain (two passes, one gain stage through the
// preamp, the output read again by ffmpeg's ebur128 filter), and the output's rate, channels
// and depth against sox and against levels worked out by hand.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "convert/ConversionJob.h"
#include "tests/delivery/DeliveryTestSupport.h"
#include "tests/support/RiffBuilder.h"
#include "tests/support/TestSupport.h"

namespace {

using deliverytest::Sox;
using testsupport::ReadFile;
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
  // The last preamp makes the bands' output clip at 24 bits by far: the gain is found from the
  // output before that limit, which the gain then keeps it within.
  const std::pair<double, double> cases[] = {
      {-16.0, -3.0}, {-23.0, -3.0}, {-31.5, -3.0}, {-20.0, 30.0}};
  for (const auto& [target, preamp] : cases) {
    SCOPED_TRACE(target);
    const std::string output = m_dir.File("out.wav");
    const Delivered d = Deliver(m_programme, output, SpeechBands(preamp),
                                {.targetLufs = target, .ceilingDbtp = 0.0});
    ASSERT_TRUE(d.result.Converted()) << RenderTranscript(d.result.lines);
    EXPECT_EQ(GainLines(d.result), std::vector<std::string>{});
    EXPECT_EQ(d.result.counts.clippedSamples, 0U);
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

// The samples of `path` as libsndfile reads them, full scale 1.0.
deliverytest::Samples Read(const std::string& path) { return deliverytest::ReadWave(path); }

double RmsDb(const std::vector<double>& values) {
  double sum = 0.0;
  for (const double v : values) sum += v * v;
  return 10.0 * std::log10(sum / static_cast<double>(values.size()));
}

TEST_F(DeliveryConversionTest, TheEqualizedOutputAtAnotherRateAgreesWithSoxVeryHighQuality) {
  // Tones within both passbands, as sox makes them, through the bands: our one pass against
  // the plain conversion resampled by sox (rate -v, linear phase), to within -90 dB.
  const std::string tones = m_dir.File("tones.wav");
  ASSERT_TRUE(Sox({"-D", "-n", "-r", "48000", "-b", "24", "-c", "2", tones, "synth", "3", "sine",
                   "997", "sine", "440", "remix", "1v0.3,2v0.2", "2v0.4,1v0.2"}));
  const EqBandTable table = SpeechBands();
  const std::string plain = m_dir.File("plain.wav");
  ASSERT_TRUE(Deliver(tones, plain, table, {}).result.Converted());
  ASSERT_TRUE(Sox(
      {plain, "-e", "floating-point", "-b", "32", m_dir.File("sox.wav"), "rate", "-v", "16000"}));
  const std::string ours = m_dir.File("ours.wav");
  const Delivered d =
      Deliver(tones, ours, table, {.sampleRate = 16000, .depth = delivery::SampleDepth::Float32});
  ASSERT_TRUE(d.result.Converted()) << RenderTranscript(d.result.lines);
  EXPECT_EQ(d.result.delivery.sampleRate, 16000U);
  EXPECT_EQ(d.result.delivery.encoding, "float32");
  EXPECT_FALSE(d.result.delivery.dithered);
  const auto expected = Read(m_dir.File("sox.wav"));
  const auto got = Read(ours);
  ASSERT_EQ(got.rate, 16000U);
  ASSERT_EQ(got.channels, 2);
  ASSERT_EQ(got.values.size(), expected.values.size());
  std::vector<double> difference(got.values.size());
  for (std::size_t i = 0; i < difference.size(); ++i) {
    difference[i] = got.values[i] - expected.values[i];
  }
  EXPECT_LT(RmsDb(difference) - RmsDb(expected.values), -90.0);
}

TEST_F(DeliveryConversionTest, OneChannelIsTheAverageOfTheChannels) {
  const std::string stereo = m_dir.File("stereo.wav");
  ASSERT_TRUE(Sox({"-n", "-r", "22050", "-e", "floating-point", "-b", "32", "-c", "2", stereo,
                   "synth", "1", "sine", "300", "sine", "1234"}));
  const std::string mono = m_dir.File("mono.wav");
  const Delivered d = Deliver(stereo, mono, EqBandTable{}, {.channels = 1});
  ASSERT_TRUE(d.result.Converted()) << RenderTranscript(d.result.lines);
  const auto in = Read(stereo);
  const auto out = Read(mono);
  ASSERT_EQ(out.channels, 1);
  ASSERT_EQ(out.rate, 22050U);
  ASSERT_EQ(out.Frames(), in.Frames());
  for (std::size_t f = 0; f < out.Frames(); ++f) {
    // Floats in, floats out: the average of the two, rounded to a float once.
    ASSERT_EQ(
        out.values[f],
        static_cast<double>(static_cast<float>((in.values[2 * f] + in.values[2 * f + 1]) / 2.0)))
        << f;
  }
}

TEST_F(DeliveryConversionTest, AReducedDepthIsDitheredFromAFixedSeedAndAKeptOneIsNot) {
  // 24 bits to 16: TPDF dither of +-1 LSB, the same bytes each time; rounded to nearest
  // without dither; widened without any. The 24-bit source is read by libsndfile.
  const EqBandTable none;
  const auto source = Read(m_programme);
  const std::size_t n = source.values.size();
  const Delivered first =
      Deliver(m_programme, m_dir.File("a.wav"), none, {.depth = delivery::SampleDepth::Int16});
  const Delivered second =
      Deliver(m_programme, m_dir.File("b.wav"), none, {.depth = delivery::SampleDepth::Int16});
  ASSERT_TRUE(first.result.Converted() && second.result.Converted());
  EXPECT_TRUE(first.output == second.output);
  EXPECT_TRUE(first.result.delivery.dithered);
  EXPECT_EQ(first.result.delivery.encoding, "pcm16");
  const auto dithered = Read(m_dir.File("a.wav"));
  ASSERT_EQ(dithered.values.size(), n);
  double sum = 0.0;
  double squares = 0.0;
  std::size_t changed = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const double error = dithered.values[i] * 32768.0 - source.values[i] * 32768.0;
    ASSERT_LT(std::fabs(error), 1.5) << i;
    sum += error;
    squares += error * error;
    changed += std::round(source.values[i] * 32768.0) != dithered.values[i] * 32768.0 ? 1 : 0;
  }
  // Rounding error (variance 1/12) and the dither (1/6): RMS 0.5 LSB, mean 0.
  EXPECT_NEAR(sum / static_cast<double>(n), 0.0, 0.01);
  EXPECT_NEAR(std::sqrt(squares / static_cast<double>(n)), 0.5, 0.025);
  EXPECT_GT(changed, n / 10);

  const Delivered plain = Deliver(m_programme, m_dir.File("c.wav"), none,
                                  {.depth = delivery::SampleDepth::Int16, .dither = false});
  ASSERT_TRUE(plain.result.Converted());
  EXPECT_FALSE(plain.result.delivery.dithered);
  const auto rounded = Read(m_dir.File("c.wav"));
  for (std::size_t i = 0; i < n; ++i) {
    ASSERT_EQ(rounded.values[i] * 32768.0, std::round(source.values[i] * 32768.0)) << i;
  }

  // 16 bits widened to 24 are the same values, not dithered; 16 asked of 16 is no change.
  const std::string sixteen = m_dir.File("sixteen.wav");
  ASSERT_TRUE(Sox({"-D", m_programme, "-b", "16", sixteen}));
  const Delivered wider =
      Deliver(sixteen, m_dir.File("d.wav"), none, {.depth = delivery::SampleDepth::Int24});
  ASSERT_TRUE(wider.result.Converted());
  EXPECT_FALSE(wider.result.delivery.dithered);
  EXPECT_EQ(Read(m_dir.File("d.wav")).values, Read(sixteen).values);
  const Delivered same =
      Deliver(sixteen, m_dir.File("e.wav"), none, {.depth = delivery::SampleDepth::Int16});
  EXPECT_EQ(same.output, Deliver(sixteen, m_dir.File("f.wav"), none, {}).output);
}

// The samples as the source holds them, or as the delivery steps make them, that the output's
// container cannot hold.
TEST_F(DeliveryConversionTest, AContainerThatCannotHoldTheOutputFailsBeforeAnythingIsWritten) {
  const std::string quad = TEST_DATA_DIR "/format-ext-4ch-sox.wav";  // 16 kHz, 4 channels
  const std::string mono = TEST_DATA_DIR "/format-float32-sox.wav";  // 44.1 kHz
  const std::string ten = m_dir.File("ten.wav");
  testsupport::WriteFile(ten, testsupport::PcmWave(10, 8000, 16, std::vector<std::uint8_t>(40)));
  const std::string opusRates =
      "an Opus file holds only the sample rates 8000, 12000, 16000, 24000 and 48000 Hz";
  struct Case {
    std::string source;
    const char* output;
    delivery::DeliverySettings settings;
    std::string reason;
  };
  const Case cases[] = {
      {m_programme, "a.opus", {.targetLufs = -16.0, .sampleRate = 44100}, opusRates},
      {mono, "b.opus", {}, opusRates},
      {m_programme,
       "c.flac",
       {.depth = delivery::SampleDepth::Float32},
       "a FLAC file holds integer samples of at most 24 bits"},
      {ten, "d.flac", {}, "a FLAC file holds at most 8 channels"},
      {m_programme,
       "e.mp3",
       {.sampleRate = 96000},
       "an MP3 file holds only the sample rates from 8000 to 48000 Hz of its standard"},
      {quad, "f.mp3", {}, "an MP3 file holds at most 2 channels"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.output);
    const std::string output = m_dir.File(c.output);
    const Delivered d = Deliver(c.source, output, EqBandTable{}, c.settings);
    EXPECT_FALSE(d.result.Converted());
    EXPECT_FALSE(std::filesystem::exists(output));
    const std::vector<std::string> refusal = {
        "Can't write the output file(" + output + "): " + c.reason + ".",
        "Write to output file(" + output + ")."};
    EXPECT_EQ(d.result.ErrorLines(),
              (std::vector<std::string>{"Error:" + refusal[0], "Error:" + refusal[1]}));
    // With delivery steps, refused after the time line, before the measuring pass.
    if (c.source == m_programme) {
      EXPECT_EQ(GainLines(d.result), refusal);
    }
  }
}

TEST_F(DeliveryConversionTest, MarkersStayAtTheirInstantsAtTheOutputRate) {
  using namespace testsupport;
  // Two seconds of 48 kHz mono with a cue point at 1.5 s, a loop from 0.5 s to 1 s and a
  // labelled text 0.1 s long, taken to 16 kHz.
  std::vector<std::int16_t> samples(96000);
  for (std::size_t i = 0; i < samples.size(); ++i) {
    samples[i] = static_cast<std::int16_t>(1000.0 * std::sin(static_cast<double>(i) * 0.05));
  }
  std::vector<std::uint8_t> smpl;
  for (const std::uint32_t v : {0U, 0U, 20833U, 60U, 0U, 0U, 0U, 1U, 0U}) Put32(smpl, v);
  for (const std::uint32_t v : {1U, 0U, 24000U, 48000U, 0U, 0U}) Put32(smpl, v);
  const std::string source = m_dir.File("markers.wav");
  WriteFile(source, RiffBuilder()
                        .Chunk("fmt ", FmtBody(1, 1, 48000, 16))
                        .Chunk("data", Pcm16Bytes(samples))
                        .Chunk("cue ", CueBody({{1, 72000}}))
                        .Chunk("smpl", smpl)
                        .Chunk("LIST", AdtlBody({{1, "Intro"}}, {{1, 4800}}))
                        .Build());
  const Delivered d = Deliver(source, m_dir.File("out.wav"), EqBandTable{}, {.sampleRate = 16000});
  ASSERT_TRUE(d.result.Converted()) << RenderTranscript(d.result.lines);
  const std::string& out = d.output;
  const std::size_t cue = ChunkBodyAt(out, "cue ");
  ASSERT_NE(cue, std::string::npos);
  EXPECT_EQ(Le32At(out, cue), 1U);
  EXPECT_EQ(Le32At(out, cue + 8), 24000U);   // position
  EXPECT_EQ(Le32At(out, cue + 24), 24000U);  // sample offset
  const std::size_t loop = ChunkBodyAt(out, "smpl");
  ASSERT_NE(loop, std::string::npos);
  EXPECT_EQ(Le32At(out, loop + 8), 62500U);  // the sample period, ns
  EXPECT_EQ(Le32At(out, loop + 36 + 8), 8000U);
  EXPECT_EQ(Le32At(out, loop + 36 + 12), 16000U);
  const std::size_t list = ChunkBodyAt(out, "LIST");
  ASSERT_NE(list, std::string::npos);
  const std::size_t ltxt = out.find("ltxt", list);
  ASSERT_NE(ltxt, std::string::npos);
  EXPECT_EQ(Le32At(out, ltxt + 12), 1600U);
  const std::size_t data = ChunkBodyAt(out, "data");
  ASSERT_NE(data, std::string::npos);
  EXPECT_EQ(Le32At(out, data - 4), 32000U * 2);  // 2 s at 16 kHz, 16-bit
  EXPECT_EQ(Read(m_dir.File("out.wav")).rate, 16000U);
}

}  // namespace
