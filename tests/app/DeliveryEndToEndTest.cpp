// The delivery options through the built program: the loudness line, a batch delivered for a
// podcast feed with every file measured and normalised on its own and the report saying what
// was applied, a container that cannot hold the result, and both passes of a normalisation in
// memory that does not grow with the file. Sources made by sox, outputs read by libsndfile and
// ffmpeg's ebur128 filter.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include "tests/app/AppFixture.h"
#include "tests/delivery/DeliveryTestSupport.h"
#include "tests/support/TestSupport.h"

namespace {

namespace fs = std::filesystem;
using testsupport::ProcessResult;
using testsupport::ReadFile;
using testsupport::RunProcess;

class DeliveryEndToEndTest : public apptest::AppFixture {
 protected:
  // Runs sox in the test's folder; true when it succeeded.
  bool Sox(const std::vector<std::string>& args) { return deliverytest::Sox(args, m_dir.Path()); }
};

// The lines of `out` (CR LF ended).
std::vector<std::string> Lines(const std::string& out) {
  std::vector<std::string> lines;
  for (std::size_t at = 0; at < out.size();) {
    const std::size_t end = out.find("\r\n", at);
    lines.push_back(out.substr(at, end - at));
    at = end == std::string::npos ? out.size() : end + 2;
  }
  return lines;
}

TEST_F(DeliveryEndToEndTest, TheLoudnessLineStandsAfterTheClippingLineOnlyWithTheOption) {
  // A 1 kHz stereo sine at -23 dBFS reads -23 LUFS and -23 dBTP (EBU Tech 3341, case 1); the
  // preamp of +26 dB clips it.
  ASSERT_TRUE(Sox({"-n", "-r", "48000", "-e", "floating-point", "-b", "32", "-c", "2", "sine.wav",
                   "synth", "10", "sine", "1000", "vol", "-23dB"}));
  const ProcessResult plain =
      Run({"/command", "/convert_source:sine.wav", "/convert_output:plain.wav"});
  const ProcessResult said =
      Run({"/command", "/convert_source:sine.wav", "/convert_output:plain.wav", "/loudness"});
  ASSERT_EQ(said.exitCode, 0);
  std::vector<std::string> lines = Lines(said.out);
  ASSERT_EQ(lines.size(), 7U) << said.out;
  EXPECT_EQ(lines[3], "Information:Apply the equalizer filter parameter.");
  double lufs = 0.0;
  double range = -1.0;
  double peak = 0.0;
  ASSERT_EQ(std::sscanf(lines[4].c_str(),
                        "Information:Loudness %lf LUFS, range %lf LU, true peak %lf dBTP.", &lufs,
                        &range, &peak),
            3)
      << lines[4];
  // Within the meter's 0.1 LU and the line's rounding to a tenth.
  EXPECT_NEAR(lufs, -23.0, 0.15);
  EXPECT_EQ(range, 0.0);
  EXPECT_NEAR(peak, -23.0, 0.15);
  lines.erase(lines.begin() + 4);
  EXPECT_EQ(Lines(plain.out), lines);  // without the option, the transcript it always had

  testsupport::WriteFile(m_dir.File("boost.cfg"),
                         "[MusicEQ]\nMusicEQ_Index00=B\n[B]\nBandNum=1\nPreamp=26\n"
                         "Band00_Type=1\nBand00_Enable=0\nBand00_Gain=0\nBand00_Qual=1\n"
                         "Band00_CentFreq=1000\nBand00_CutoffFreq=0\nBand00_StopFreq=0\n");
  const ProcessResult clipped =
      Run({"/command", "/access_setting:boost.cfg", "/convert_source:sine.wav",
           "/convert_output:clipped.wav", "/loudness"});
  const std::vector<std::string> clippedLines = Lines(clipped.out);
  ASSERT_EQ(clippedLines.size(), 8U) << clipped.out;
  EXPECT_EQ(clippedLines[4].rfind("Information:Clipped ", 0), 0U);
  EXPECT_EQ(clippedLines[5].rfind("Information:Loudness ", 0), 0U);
}

TEST_F(DeliveryEndToEndTest, ABatchForAPodcastFeedNormalisesEachFileOnItsOwnAndReportsWhat) {
  // A loud stereo 24-bit take at 48 kHz and a quiet mono 16-bit one at 16 kHz, pink noise.
  fs::create_directories(m_dir.File("in"));
  ASSERT_TRUE(Sox({"-R", "-n", "-r", "48000", "-b", "24", "-c", "2", "in/loud.wav", "synth", "8",
                   "pinknoise", "vol", "0.3"}));
  ASSERT_TRUE(Sox({"-R", "-n", "-r", "16000", "-b", "16", "-c", "1", "in/quiet.wav", "synth", "8",
                   "pinknoise", "vol", "0.01"}));
  const ProcessResult r = Run({"/command", "/convert_source:in", "/output_folder:out",
                               "/deliver:podcast", "/report:report.json", "/jobs:2"});
  ASSERT_EQ(r.exitCode, 0) << r.out;
  EXPECT_EQ(SchemaProblems("report.json"), "");
  const std::string report = ReadFile(m_dir.File("report.json"));
  for (const char* name : {"loud", "quiet"}) {
    SCOPED_TRACE(name);
    const std::string output = m_dir.File(std::string("out/") + name + "_filter.wav");
    const deliverytest::Samples read = deliverytest::ReadWave(output);
    EXPECT_EQ(read.rate, 44100U);
    EXPECT_EQ(read.channels, std::string(name) == "loud" ? 2 : 1);
    const auto ffmpeg = deliverytest::ReadWithFfmpeg(output);
    ASSERT_TRUE(ffmpeg);
    // Pink noise has the crest to reach -16 LUFS under a ceiling of -1 dBTP.
    EXPECT_NEAR(ffmpeg->integratedLufs, -16.0, 0.2);
    EXPECT_LE(ffmpeg->truePeakDbtp, -0.9);
  }
  EXPECT_EQ(Lines(r.out).size(), 11U) << r.out;  // no gain line: both reach the target
  // Each file's own gain; the depth reduced from 24 bits is dithered, 16 from 16 is not.
  EXPECT_NE(report.find(R"("sample_rate": 44100, "channels": 2, "bits": 16, "encoding": "pcm16", )"
                        R"("dither": true)"),
            std::string::npos)
      << report;
  EXPECT_NE(report.find(R"("sample_rate": 44100, "channels": 1, "bits": 16, "encoding": "pcm16", )"
                        R"("dither": false)"),
            std::string::npos);
  std::vector<double> gains;
  const std::regex gain(R"re("gain_db": (-?[0-9.]+))re");
  for (std::sregex_iterator it(report.begin(), report.end(), gain), end; it != end; ++it) {
    gains.push_back(std::stod((*it)[1]));
  }
  ASSERT_EQ(gains.size(), 2U);
  EXPECT_GT(gains[1] - gains[0], 25.0);  // the quiet take got its own, 30 dB more

  // An explicit value overrides the set's.
  const ProcessResult mono =
      Run({"/command", "/convert_source:in/loud.wav", "/convert_output:mono.wav",
           "/deliver:podcast", "/output_channels:1", "/output_rate:48000"});
  ASSERT_EQ(mono.exitCode, 0) << mono.out;
  const deliverytest::Samples read = deliverytest::ReadWave(m_dir.File("mono.wav"));
  EXPECT_EQ(read.channels, 1);
  EXPECT_EQ(read.rate, 48000U);
}

TEST_F(DeliveryEndToEndTest, AContainerThatCannotHoldTheResultEndsWithExitTwoAndNothingWritten) {
  ASSERT_TRUE(Sox(
      {"-R", "-n", "-r", "48000", "-b", "16", "-c", "1", "take.wav", "synth", "1", "pinknoise"}));
  const ProcessResult r = Run({"/command", "/convert_source:take.wav", "/convert_output:take.opus",
                               "/normalize:-16", "/output_rate:44100"});
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_EQ(r.out,
            "Information:Open the file.(take.wav).\r\n"
            "Information:File format is WAV.\r\n"
            "Information:Time:1000 ms,SampleRate:48000 Hz,BitPerSample:16,Channel:1.\r\n"
            "Error:Can't write the output file(take.opus): an Opus file holds only the sample "
            "rates 8000, 12000, 16000, 24000 and 48000 Hz.\r\n"
            "Error:Write to output file(take.opus).\r\n"
            "Terminated:ConvertFile:Result:0\r\n");
  EXPECT_FALSE(fs::exists(m_dir.File("take.opus")));
}

// The largest resident size of the program converting `source` with every delivery step, KiB,
// as GNU time reports it.
std::optional<long> PeakKiB(const std::string& folder, const std::string& exe,
                            const std::string& source) {
  const ProcessResult r = RunProcess(
      "/usr/bin/time",
      {"-f", "%M", exe, "/command", "/convert_source:" + source, "/convert_output:out.wav",
       "/normalize:-20", "/output_rate:22050", "/output_bits:24", "/loudness", "/report:r.json"},
      folder);
  if (r.exitCode != 0) {
    return std::nullopt;
  }
  const std::size_t last = r.err.find_last_not_of("\r\n");
  const std::size_t start = r.err.find_last_of('\n', last);
  return std::stol(r.err.substr(start == std::string::npos ? 0 : start + 1));
}

TEST_F(DeliveryEndToEndTest, BothPassesOfANormalisationRunInMemoryThatDoesNotGrowWithTheFile) {
  // 30 s and 300 s of 48 kHz stereo 16-bit noise (5.8 and 58 MB): the longer one needs no more
  // than a few MiB more, where holding its samples would take 58 MB and their values 230 MB.
  ASSERT_TRUE(Sox({"-R", "-n", "-r", "48000", "-b", "16", "-c", "2", "short.wav", "synth", "30",
                   "pinknoise", "vol", "0.2"}));
  ASSERT_TRUE(Sox({"-R", "-n", "-r", "48000", "-b", "16", "-c", "2", "long.wav", "synth", "300",
                   "pinknoise", "vol", "0.2"}));
  const auto small = PeakKiB(m_dir.Path(), m_exe, "short.wav");
  const auto large = PeakKiB(m_dir.Path(), m_exe, "long.wav");
  ASSERT_TRUE(small && large);
  EXPECT_LT(*large - *small, 4096) << *small << " KiB against " << *large << " KiB";
}

}  // namespace
