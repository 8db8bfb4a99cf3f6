#include "convert/ConversionJob.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "platform/fs/TempFileNames.h"
#include "tests/support/BandFixtures.h"
#include "tests/support/NaiveEqualizer.h"
#include "tests/support/ProtectedFileBuilder.h"
#include "tests/support/RiffBuilder.h"
#include "tests/support/TestSupport.h"
#include "tests/support/WaveReader.h"

namespace {

using namespace testsupport;
namespace fs = std::filesystem;

std::string Save(const TempDir& dir, const std::string& name,
                 const std::vector<std::uint8_t>& bytes) {
  WriteFile(dir.File(name), bytes);
  return dir.File(name);
}

// A mono 16-bit wave file of `samples` at `rate` Hz.
std::string Mono16(const TempDir& dir, const std::string& name, std::uint32_t rate,
                   const std::vector<std::int16_t>& samples) {
  return Save(dir, name, PcmWave(1, rate, 16, Pcm16Bytes(samples)));
}

// What the tests' own reader finds in a file; a failure to read it fails the test.
WaveRead Read(const std::string& path) {
  WaveRead read = ReadWave(path);
  EXPECT_TRUE(read.ok) << "not a wave file: " << path;
  return read;
}

// The samples of a file as the tests' own reader sees them.
std::vector<std::int16_t> Samples(const std::string& path) { return Read(path).samples; }

// The samples as the naive equalizer filters them (mono or interleaved channels).
std::vector<std::int16_t> Filtered(const std::vector<std::int16_t>& samples, double rate,
                                   int channels, const EqBandTable& table) {
  const std::vector<double> y =
      naive::RefRun(table, rate, std::vector<double>(samples.begin(), samples.end()), channels);
  std::vector<std::int16_t> out;
  out.reserve(y.size());
  for (const double v : y) {
    out.push_back(naive::RefTo16(v));
  }
  return out;
}

struct Conversion {
  std::string log;
  int result = -1;
  Conversion(std::vector<ConversionJob>& jobs, const EqBandTable& table) {
    result = ConvertFiles(jobs, table, [this](std::string_view text) { log.append(text); });
  }
};

std::vector<ConversionJob> Jobs(std::initializer_list<std::pair<std::string, std::string>> paths) {
  std::vector<ConversionJob> jobs;
  for (const auto& [source, output] : paths) {
    ConversionJob job;
    job.sourcePath = source;
    job.outputPath = output;
    jobs.push_back(job);
  }
  return jobs;
}

TEST(ConversionJobTest, RunStopsAtTheFirstFailingJob) {
  TempDir dir;
  const std::string first = Mono16(dir, "a.wav", 8000, NoiseSamples(800, 2));
  const std::string third = Mono16(dir, "c.wav", 8000, NoiseSamples(800, 3));
  auto jobs = Jobs({{first, dir.File("a_out.wav")},
                    {dir.File("b.wav"), dir.File("b_out.wav")},
                    {third, dir.File("c_out.wav")}});
  const Conversion run(jobs, SpeechBands());
  EXPECT_EQ(run.result, 0);
  EXPECT_TRUE(fs::exists(dir.File("a_out.wav")));
  EXPECT_NE(run.log.find("Information:Open the file.(" + dir.File("b.wav") +
                         ").\r\nError:Can't open the file.(" + dir.File("b.wav") + ").\r\n"),
            std::string::npos);
  EXPECT_EQ(run.log.find(third), std::string::npos);  // never opened
  EXPECT_FALSE(fs::exists(dir.File("c_out.wav")));

  std::vector<ConversionJob> none;
  const Conversion empty(none, SpeechBands());
  EXPECT_EQ(empty.result, 1);
  EXPECT_EQ(empty.log, "");
}

// A boost that drives a loud file past full scale says how many samples the limits changed and
// the peak, counted here from the naive equalizer; a file that stays inside says nothing.
TEST(ConversionJobTest, ClippingIsCountedAndReportedInOneLine) {
  TempDir dir;
  const EqBandTable boost = {EqBand{.type = 1, .enable = 1, .gain = 9, .qual = 1, .centFreq = 500}};
  std::vector<double> wave(8000);
  for (std::size_t i = 0; i < wave.size(); ++i) {
    wave[i] = 0.8 * std::sin(2 * 3.141592653589793 * 500 * static_cast<double>(i) / 16000);
  }
  struct Case {
    int bits;
    double scale;
    std::uint16_t tag;
  };
  // The values as stored: little-endian integers of `bits`, or 32-bit floats (tag 3).
  const auto store = [](const std::vector<double>& v, const Case& c) {
    std::vector<std::uint8_t> out;
    for (const double x : v) {
      auto u = static_cast<std::uint32_t>(static_cast<std::int32_t>(x));
      if (c.tag == 3) {
        const auto f = static_cast<float>(x);
        std::memcpy(&u, &f, 4);
      }
      for (int shift = 0; shift < c.bits; shift += 8)
        out.push_back(static_cast<std::uint8_t>(u >> shift));
    }
    return out;
  };
  for (const Case& c : {Case{16, 32768.0, 1}, Case{24, 8388608.0, 1}, Case{32, 1.0, 3}}) {
    std::vector<double> scaled = wave;
    for (double& x : scaled)
      x = c.tag == 3 ? static_cast<float>(x * c.scale) : std::trunc(x * c.scale);
    for (const double amplitude : {1.0, 0.25}) {
      std::vector<double> in = scaled;
      for (double& x : in)
        x = c.tag == 3 ? static_cast<float>(x * amplitude) : std::trunc(x * amplitude);
      const std::string name = "c" + std::to_string(c.bits) + "_" + std::to_string(amplitude < 1);
      const std::string source =
          Save(dir, name + ".wav",
               RiffBuilder()
                   .Chunk("fmt ", FmtBody(c.tag, 1, 16000, static_cast<std::uint16_t>(c.bits)))
                   .Chunk("data", store(in, c))
                   .Build());
      auto jobs = Jobs({{source, dir.File(name + "_out.wav")}});
      const Conversion run(jobs, boost);
      ASSERT_EQ(run.result, 1) << run.log;
      const std::vector<double> y = naive::RefRun(boost, 16000, in, 1);
      const double top = c.tag == 3 ? 1.0 : c.scale - 1.0;
      const double bottom = c.tag == 3 ? -1.0 : -c.scale;
      std::size_t clipped = 0;
      double peak = 0.0;
      for (const double v : y) {
        clipped += v > top || v < bottom;
        peak = std::max(peak, std::fabs(v));
      }
      if (amplitude < 1.0) {
        EXPECT_EQ(clipped, 0U);
        EXPECT_EQ(run.log.find("Clipped"), std::string::npos) << run.log;
        continue;
      }
      ASSERT_GT(clipped, 1000U);
      char line[256];
      std::snprintf(line, sizeof line,
                    "Information:Apply the equalizer filter parameter.\r\n"
                    "Information:Clipped %llu of 8000 samples, peak %.2f dBFS.\r\n"
                    "Information:Write to output file(",
                    static_cast<unsigned long long>(clipped), 20 * std::log10(peak / c.scale));
      EXPECT_NE(run.log.find(line), std::string::npos) << run.log << "\nwanted: " << line;
    }
  }
}

// Protected, ADPCM and stereo sources, a conversion in place and one over an older output all
// become plain 16-bit files of the engine's filtering (an 8-bit file stays 8-bit); the channels
// of a stereo file are filtered apart, each as the mono signal alone would be. The expected
// samples come from the naive equalizer.
TEST(ConversionJobTest, EverySourceKindBecomesItsFilteredSamples) {
  TempDir dir;
  const auto mono = NoiseSamples(3000, 6);
  std::vector<std::int16_t> stereo;
  for (const std::int16_t s : mono) stereo.insert(stereo.end(), {s, s});
  const auto plain = PcmWave(1, 16000, 16, Pcm16Bytes(mono));
  const std::string wio = Save(dir, "p.wio", BuildProtectedFile(plain, {}, "p.wav"));
  const std::string same = Save(dir, "same.wav", plain);
  const std::string twice = Save(dir, "s.wav", PcmWave(2, 16000, 16, Pcm16Bytes(stereo)));
  const std::string adpcm = std::string(TEST_DATA_DIR) + "/ima-stereo-sox.wav";
  std::vector<std::uint8_t> bytes(4001);
  std::mt19937 rng(4);
  for (auto& b : bytes) b = static_cast<std::uint8_t>(64 + rng() % 128);
  const std::string eight = Save(dir, "e.wav", PcmWave(1, 8000, 8, bytes));
  WriteFile(dir.File("s_out.wav"), "an older output, not a wave file");
  auto jobs = Jobs({{wio, dir.File("p_out.wav")},
                    {same, same},
                    {twice, dir.File("s_out.wav")},
                    {adpcm, dir.File("a_out.wav")},
                    {eight, dir.File("e_out.wav")}});
  const Conversion run(jobs, SpeechBands());
  ASSERT_EQ(run.result, 1) << run.log;
  const auto expected = Filtered(mono, 16000, 1, SpeechBands());
  EXPECT_NE(expected, mono);
  EXPECT_EQ(Samples(dir.File("p_out.wav")), expected);
  EXPECT_EQ(Samples(same), expected);
  // The job records what it converted: 3000 frames of 16-bit mono at 16 kHz.
  EXPECT_EQ(jobs[1].dataLength, 6000U);
  EXPECT_EQ(jobs[1].sampleFrames, 3000U);
  EXPECT_EQ(jobs[1].blockAlign, 2);
  EXPECT_EQ(jobs[1].bytesPerSecond, 32000U);
  EXPECT_EQ(jobs[1].writeResult, 1U);
  const auto fromStereo = Samples(dir.File("s_out.wav"));
  ASSERT_EQ(fromStereo.size(), 6000U);
  for (std::size_t i = 0; i < mono.size(); ++i) {
    ASSERT_EQ(fromStereo[2 * i], expected[i]) << i;
    ASSERT_EQ(fromStereo[2 * i + 1], expected[i]) << i;
  }

  const WaveRead fromAdpcm = Read(dir.File("a_out.wav"));
  EXPECT_EQ(fromAdpcm.formatTag, 1);
  EXPECT_EQ(fromAdpcm.bits, 16);
  EXPECT_EQ(fromAdpcm.channels, 2);
  EXPECT_EQ(fromAdpcm.sampleRate, 11025U);
  const std::string raw = ReadFile(std::string(TEST_DATA_DIR) + "/ima-stereo-sox.sox.raw");
  std::vector<std::int16_t> decoded(raw.size() / 2);
  std::memcpy(decoded.data(), raw.data(), raw.size());
  EXPECT_EQ(fromAdpcm.samples, Filtered(decoded, 11025, 2, SpeechBands()));

  const WaveRead fromEight = Read(dir.File("e_out.wav"));
  EXPECT_EQ(fromEight.formatTag, 1);
  EXPECT_EQ(fromEight.bits, 8);
  std::vector<double> in8(bytes.size());
  for (std::size_t i = 0; i < bytes.size(); ++i) in8[i] = (bytes[i] - 128) * 256.0;
  const std::vector<double> ref8 = naive::RefRun(SpeechBands(), 8000, in8, 1);
  ASSERT_EQ(fromEight.samples.size(), bytes.size());
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    ASSERT_EQ(fromEight.samples[i], (naive::RefTo8(ref8[i]) - 128) * 256) << i;
  }
}

// Streamed or from a whole buffer, the output keeps the cue points, the program's labels and
// every other label, note and labelled text of the source, byte for byte.
TEST(ConversionJobTest, CuePointsLabelsNotesAndTextsAreKept) {
  TempDir dir;
  // An editor's markers, as stored: a label, a note of odd size with its pad byte, and the
  // labelled text of a region (cue id, length, purpose "rgn ", country, language, dialect, code
  // page, text).
  const std::string kept = Bytes(
      "labl\x0A\0\0\0\x03\0\0\0Intro\0"
      "note\x0D\0\0\0\x03\0\0\0Ask why.\0\0"
      "ltxt\x1D\0\0\0\x03\0\0\0\x64\0\0\0rgn \x2C\0\x09\0\x01\0\xE4\x04Opening.\0\0");
  std::vector<std::uint8_t> list = AdtlBody({{1, "(3,7)"}, {2, "(-1,4)"}});
  list.insert(list.end(), kept.begin(), kept.end());
  const std::string source = Save(dir, "c.wav",
                                  RiffBuilder()
                                      .Chunk("fmt ", FmtBody(1, 1, 8000, 16))
                                      .Chunk("data", Pcm16Bytes(NoiseSamples(2000, 8)))
                                      .Chunk("cue ", CueBody({{1, 500}, {2, 1500}, {3, 1800}}))
                                      .Chunk("LIST", list)
                                      .Build());
  for (const bool wholeFile : {false, true}) {
    SCOPED_TRACE(wholeFile ? "whole file" : "streamed");
    auto jobs = Jobs({{source, dir.File("c_out.wav")}});
    jobs[0].wholeFile = wholeFile;
    ASSERT_EQ(Conversion(jobs, SpeechBands()).result, 1);
    const std::string written = ReadFile(dir.File("c_out.wav"));
    EXPECT_NE(written.find(Bytes("cue \x4C\0\0\0\x03\0\0\0")), std::string::npos);
    // The program's labels as written: "labl", its even size, the cue number, the text with its
    // NUL and pad; then the others as they were.
    EXPECT_NE(written.find(Bytes("labl\x0A\0\0\0\x01\0\0\0(3,7)\0"
                                 "labl\x0C\0\0\0\x02\0\0\0(-1,4)\0\0") +
                           kept),
              std::string::npos);
    const WaveRead out = Read(dir.File("c_out.wav"));
    EXPECT_EQ(out.samples.size(), 2000U);
  }
}

TEST(ConversionJobTest, TheFilesOwnRateDecidesWhichBandsApply) {
  TempDir dir;
  const auto input = NoiseSamples(800, 10);
  const EqBandTable high = {EqBand{.type = 1, .enable = 1, .gain = 9, .qual = 1, .centFreq = 6000}};
  const std::string at8k = Mono16(dir, "8k.wav", 8000, input);
  const std::string at48k = Mono16(dir, "48k.wav", 48000, input);
  auto jobs = Jobs({{at8k, dir.File("8k_out.wav")}, {at48k, dir.File("48k_out.wav")}});
  const Conversion run(jobs, high);
  ASSERT_EQ(run.result, 1);
  // The band that does nothing to the 8 kHz file is named there, and only there.
  const std::string skipped =
      "Information:Band00 (bell) is left out at 8000 Hz: its centre frequency 6000 Hz is above "
      "half the sample rate (4000 Hz).\r\nInformation:Apply the equalizer filter parameter.\r\n";
  EXPECT_NE(run.log.find("Channel:1.\r\n" + skipped), std::string::npos) << run.log;
  EXPECT_EQ(run.log.find("left out"), run.log.rfind("left out"));
  EXPECT_EQ(Samples(dir.File("8k_out.wav")), input);
  EXPECT_NE(Samples(dir.File("48k_out.wav")), input);
}

TEST(ConversionJobTest, AFailedWriteLeavesTheEarlierOutputAsItWas) {
  TempDir dir;
  const std::string output = dir.File("out.wav");
  WriteFile(output, "the earlier output");
  // A source without samples (a WAVE file, a FLAC file sox made where there is sox and the
  // file library reads FLAC: not in the Windows build) names the source as the cause.
  std::vector<std::string> sources = {Save(dir, "empty.wav", PcmWave(1, 8000, 16, {}))};
#if !defined(_WIN32)
  const std::string emptyFlac = dir.File("empty.flac");
  ASSERT_EQ(
      RunProcess("/usr/bin/sox", {"-n", "-r", "8000", "-b", "16", emptyFlac, "trim", "0", "0"})
          .exitCode,
      0);
  sources.push_back(emptyFlac);
#endif
  for (const std::string& source : sources) {
    auto jobs = Jobs({{source, output}});
    const Conversion run(jobs, SpeechBands());
    EXPECT_EQ(run.result, 0);
    EXPECT_NE(run.log.find("Information:Apply the equalizer filter parameter.\r\n"
                           "Error:The source holds no samples(" +
                           source + ").\r\nError:Write to output file(" + output + ").\r\n"),
              std::string::npos)
        << run.log;
    EXPECT_EQ(ReadFile(output), "the earlier output");
  }
  // An output whose folder has gone names that as the cause.
  const std::string source = Mono16(dir, "s.wav", 8000, NoiseSamples(80, 4));
  auto gone = Jobs({{source, dir.File("gone/out.wav")}});
  EXPECT_NE(Conversion(gone, SpeechBands()).log.find("): its folder does not exist.\r\n"),
            std::string::npos);
}

// A header rate of 0 is refused when the file is opened: nothing is written.
TEST(ConversionJobTest, ARateOfZeroIsRefusedAtOpen) {
  TempDir dir;
  const std::string source = Save(dir, "zero.wav",
                                  RiffBuilder()
                                      .Chunk("fmt ", FmtBody(1, 1, 0, 16, 2, 0))
                                      .Chunk("data", Pcm16Bytes({1, 2}))
                                      .Build());
  auto jobs = Jobs({{source, dir.File("zero_out.wav")}});
  const Conversion run(jobs, SpeechBands());
  EXPECT_EQ(run.result, 0);
  EXPECT_EQ(run.log, "Information:Open the file.(" + source +
                         ").\r\nError:The file states a sample rate of 0 Hz!(" + source +
                         ")\r\nError:Can't open the file.(" + source + ").\r\n");
  EXPECT_FALSE(fs::exists(dir.File("zero_out.wav")));
}

// A data chunk that states more bytes than the file holds was cut: its frames are converted and
// a line says how many of the stated ones they are. The sizes streaming writers leave open
// (all bits set, as ffmpeg writes to a pipe; sox's whole frames below 0x7FFFF000) state no length.
TEST(ConversionJobTest, AWaveDataChunkCutShortIsConvertedAndNamed) {
  TempDir dir;
  const auto samples = NoiseSamples(500, 12);
  struct Case {
    std::int64_t statedSize;
    std::string line;
  };
  const Case cases[] = {
      {1600, "Information:The source ends early: 500 of 800 stated frames read.\r\n"},
      {0xFFFFFFFF, ""},
      {0x7FFFF000, ""},
      {1000, ""},
  };
  for (const Case& c : cases) {
    const std::string source = Save(dir, "cut.wav",
                                    RiffBuilder()
                                        .Chunk("fmt ", FmtBody(1, 1, 8000, 16))
                                        .Chunk("data", Pcm16Bytes(samples), true, c.statedSize)
                                        .Build());
    auto jobs = Jobs({{source, dir.File("cut_out.wav")}});
    const Conversion run(jobs, {});
    ASSERT_EQ(run.result, 1) << run.log;
    EXPECT_NE(run.log.find("Information:File format is WAV.\r\n" + c.line +
                           "Information:Time:62 ms,SampleRate:8000 Hz"),
              std::string::npos)
        << c.statedSize << "\n"
        << run.log;
    EXPECT_EQ(Samples(dir.File("cut_out.wav")), samples);
    EXPECT_EQ(jobs[0].endsEarly, !c.line.empty());
    EXPECT_EQ(jobs[0].framesRead, c.line.empty() ? 0U : 500U);
  }
}

TEST(ConversionJobTest, ACompletedConversionRemovesTheTemporaryFilesOfKilledRunsOnly) {
  TempDir dir;
  const std::string source = Mono16(dir, "s.wav", 8000, NoiseSamples(80, 7));
  // Which names count as another host's or as no one's is checked with the removal itself.
  const std::string prefix = ".tonvale-tmp." + platform::HostName() + ".";
  const std::string dead = prefix + std::to_string(DeadProcessId()) + ".0.1f";
  const std::string running = prefix + std::to_string(OtherRunningProcessId()) + ".0.2f";
  WriteFile(dir.File(dead), "left behind");
  WriteFile(dir.File(running), "left behind");
  auto jobs = Jobs({{source, dir.File("s_out.wav")}});
  ASSERT_EQ(Conversion(jobs, SpeechBands()).result, 1);
  EXPECT_FALSE(fs::exists(dir.File(dead)));
  EXPECT_TRUE(fs::exists(dir.File(running)));
}

}  // namespace
