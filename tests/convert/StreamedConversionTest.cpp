// The streamed conversion against the whole-file one: the same transcript and the same bytes
// for every fixture and for chunk layouts built here (labels and cue points before and after
// the data, a partial last frame and sample, odd sizes, protected files, several blocks), and
// the streamed WAVE writer with tiny blocks and RF64 against the whole-buffer writer.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "LibProject/Audio/WaveFileUtil/WavFile.h"
#include "LibProject/Audio/WaveFileUtil/WavFileFormat.h"
#include "LibProject/Audio/WaveFileUtil/sndfile/SndFile.h"
#include "convert/ConversionJob.h"
#include "eq/fileio/StreamBlockFilter.h"
#include "eq/filter/PcmFilter.h"
#include "eq/filter/SampleStream.h"
#include "tests/support/ProtectedFileBuilder.h"
#include "tests/support/RiffBuilder.h"
#include "tests/support/TestSupport.h"

namespace {

using namespace testsupport;
namespace fs = std::filesystem;

// Many sections (a high-pass of order 6, a low-pass, bells) and a boost that clips.
EqBandTable ManySections() {
  EqBandTable table{EqBand{.type = 2, .enable = 1, .gain = 36, .cutoffFreq = 100, .stopFreq = 50}};
  for (std::uint32_t i = 1; i <= 5; ++i) {
    table.push_back(EqBand{.type = 1,
                           .index = i,
                           .enable = 1,
                           .gain = i == 3 ? 14.0 : -4.0,
                           .qual = 1.4,
                           .centFreq = 300.0 * i});
  }
  table.push_back(
      EqBand{.type = 3, .index = 6, .enable = 1, .gain = 30, .cutoffFreq = 3500, .stopFreq = 6000});
  return table;
}

std::vector<std::uint8_t> RandomBytes(std::size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  std::vector<std::uint8_t> bytes(n);
  for (auto& b : bytes) b = static_cast<std::uint8_t>(rng());
  return bytes;
}

struct Run {
  int result = 0;
  std::string log;
  std::string output;
};

Run Convert(const std::string& source, const std::string& output, bool wholeFile) {
  std::vector<ConversionJob> jobs{ConversionJob{.sourcePath = source, .outputPath = output}};
  jobs[0].wholeFile = wholeFile;
  Run run;
  run.result =
      ConvertFiles(jobs, ManySections(), [&run](std::string_view t) { run.log.append(t); });
  run.output = fs::exists(output) ? ReadFile(output) : std::string("(none)");
  return run;
}

void ExpectSameBothWays(const TempDir& dir, const std::string& source,
                        std::string ext = std::string()) {
  SCOPED_TRACE(source + " to " + ext);
  if (ext.empty()) {
    ext = fs::path(source).extension().string();
  }
  const std::string streamedOut = dir.File("streamed" + ext);
  const std::string wholeOut = dir.File("whole" + ext);
  fs::remove(streamedOut);
  fs::remove(wholeOut);
  Run streamed = Convert(source, streamedOut, false);
  Run whole = Convert(source, wholeOut, true);
  EXPECT_EQ(streamed.result, whole.result);
  // The transcripts differ only in the output's name.
  for (std::string* log : {&streamed.log, &whole.log}) {
    for (const std::string& name : {streamedOut, wholeOut}) {
      for (std::size_t at = log->find(name); at != std::string::npos; at = log->find(name)) {
        log->replace(at, name.size(), "OUT");
      }
    }
  }
  EXPECT_EQ(streamed.log, whole.log);
  // An Ogg stream's serial number is random, so two encodings of the same samples differ.
  if (ext != ".ogg" && ext != ".opus") {
    EXPECT_TRUE(streamed.output == whole.output) << "the outputs differ";
  }
}

// Every fixture into its own format, and into WAVE (which shows the decoded samples of the lossy
// ones bit for bit) or from WAVE into FLAC.
TEST(StreamedConversionTest, EveryFixtureGivesTheWholeFileTranscriptAndBytes) {
  TempDir dir;
  std::size_t files = 0;
  for (const auto& entry : fs::directory_iterator(TEST_DATA_DIR)) {
    const std::string name = entry.path().filename().string();
    if (entry.is_regular_file() && name.find(".sox.raw") == std::string::npos &&
        entry.path().extension() != ".sh" && entry.path().extension() != ".py") {
      ExpectSameBothWays(dir, entry.path().string());
      if (entry.path().extension() != ".wav") {
        ExpectSameBothWays(dir, entry.path().string(), ".wav");
      } else if (SndFileAvailable()) {
        ExpectSameBothWays(dir, entry.path().string(), ".flac");
      }
      ++files;
    }
  }
  EXPECT_GT(files, 20U);
}

#if TONVALE_WITH_SNDFILE
// A file read through libsndfile streams what its stream holds, also one cut short of the
// length it states, and gives the whole-file transcript and output.
TEST(StreamedConversionTest, CutLibsndfileSourcesStreamWhatTheyHold) {
  TempDir dir;
  const std::string flac = ReadFile(std::string(TEST_DATA_DIR) + "/format-flac24-ffmpeg.flac");
  WriteFile(dir.File("cut.flac"), flac.substr(0, flac.size() * 2 / 3));
  for (const std::string name : {"format-flac24-ffmpeg.flac", "cut.flac"}) {
    const std::string path = name == "cut.flac" ? dir.File(name) : TEST_DATA_DIR "/" + name;
    T_RefPtr<I_WavFile> file = C_WavFileFormat().OpenFile(path, 0, 1);
    ASSERT_TRUE(file);
    EXPECT_TRUE(file->CanStream());
    EXPECT_TRUE(file->PrepareStream()) << name;
    EXPECT_EQ(file->GetSourceLength().endsEarly, name == "cut.flac") << name;
    ExpectSameBothWays(dir, path);
    ExpectSameBothWays(dir, path, ".wav");
  }
}
#endif

TEST(StreamedConversionTest, ChunkLayoutsPartialFramesAndProtectedFilesMatch) {
  TempDir dir;
  std::vector<std::pair<std::string, std::vector<std::uint8_t>>> files;
  // Labels before the data, a cue list after it, an odd data size ending in half a sample.
  files.emplace_back("labels.wav", RiffBuilder()
                                       .Chunk("fmt ", FmtBody(1, 1, 16000, 16))
                                       .Chunk("LIST", AdtlBody({{1, "(120,480)"}, {2, "breath"}}))
                                       .Chunk("data", RandomBytes(2 * 30001 + 1, 1))
                                       .Chunk("cue ", CueBody({{1, 120}, {2, 9000}}))
                                       .Build());
  // Stereo 8-bit ending in half a frame; 24-bit three channels with an odd data size.
  files.emplace_back("partial8.wav", PcmWave(2, 8000, 8, RandomBytes(2 * 5000 + 1, 2)));
  files.emplace_back("pcm24x3.wav", PcmWave(3, 48000, 24, RandomBytes(9 * 7001, 3)));
  files.emplace_back("float32.wav",
                     RiffBuilder()
                         .Chunk("fmt ", FmtBody(3, 2, 44100, 32))
                         .Chunk("fact", {0x10, 0x27, 0, 0})
                         .Chunk("data",
                                [] {
                                  std::vector<std::uint8_t> bytes;
                                  std::mt19937 rng(4);
                                  std::uniform_real_distribution<float> v(-1.2F, 1.2F);
                                  for (int i = 0; i < 20000; ++i) {
                                    const float f = v(rng);
                                    const auto* p = reinterpret_cast<const std::uint8_t*>(&f);
                                    bytes.insert(bytes.end(), p, p + 4);
                                  }
                                  return bytes;
                                }())
                         .Build());
  // More than one 1 MiB block of samples.
  files.emplace_back("long.wav", PcmWave(2, 48000, 16, RandomBytes(4 * 1300000, 5)));
  files.emplace_back("protected.wio", BuildProtectedFile(files[0].second, {"key"}, "labels.wav"));
  // ADPCM decoded a group of blocks at a time: random blocks (every header and code decodes),
  // several groups and output blocks, a partial last block, a cue list after the data.
  auto ima = FmtBody(17, 2, 22050, 4, 2048, 22050);
  Put16(ima, 2);
  Put16(ima, 2041);  // (2048 - 2 x 4) x 2 / 2 + 1 frames per block
  files.emplace_back("ima.wav", RiffBuilder()
                                    .Chunk("fmt ", ima)
                                    .Chunk("data", RandomBytes(2048 * 700 + 333, 7))
                                    .Chunk("cue ", CueBody({{1, 100000}}))
                                    .Build());
  auto ms = FmtBody(2, 1, 16000, 4, 1024, 8000);
  Put16(ms, 32);
  Put16(ms, 2036);  // (1024 - 7) x 2 + 2 frames per block
  Put16(ms, 7);
  for (const std::int16_t coef : {256, 0, 512, -256, 0, 0, 192, 64, 240, 0, 460, -208, 392, -232}) {
    Put16(ms, static_cast<std::uint16_t>(coef));
  }
  files.emplace_back(
      "ms.wav",
      RiffBuilder().Chunk("fmt ", ms).Chunk("data", RandomBytes(1024 * 300 + 5, 8)).Build());
  files.emplace_back("ms.wio", BuildProtectedFile(files.back().second, {"key"}, "ms.wav"));
  for (const auto& [name, bytes] : files) {
    WriteFile(dir.File(name), bytes);
    ExpectSameBothWays(dir, dir.File(name));
  }
  // The ADPCM files took the streamed path: 700 whole blocks and one of 333 bytes, whose 325
  // code bytes are 40 groups of 8 and 5 bytes, the second channel's slot holding one: 1 + 320 +
  // 2 = 323 frames, as 16-bit stereo.
  C_WavFile imaFile;
  ASSERT_EQ(imaFile.ReadHeader(dir.File("ima.wav"), 1), 1);
  EXPECT_TRUE(imaFile.CanStream());
  EXPECT_EQ(imaFile.GetSampleBytes64(), (700U * 2041U + 323U) * 4U);
}

TEST(StreamedConversionTest, TinyBlocksAndRf64GiveTheWholeBufferWriterBytes) {
  TempDir dir;
  WriteFile(dir.File("in.wav"), RiffBuilder()
                                    .Chunk("fmt ", FmtBody(1, 2, 16000, 16))
                                    .Chunk("data", RandomBytes(4 * 3001 + 2, 6))
                                    .Chunk("LIST", AdtlBody({{1, "(5,9)"}}))
                                    .Chunk("cue ", CueBody({{1, 5}}))
                                    .Build());
  for (const std::uint64_t threshold : {0xFFFFFFFFULL, 64ULL}) {
    for (const std::size_t block : {1U, 7U, 100000U}) {
      SCOPED_TRACE("block " + std::to_string(block) + ", threshold " + std::to_string(threshold));
      FilterChain chain;
      DesignBandFilters(ManySections(), chain, 16000.0);
      const SampleFormat format{SampleEncoding::Pcm16, 0};

      C_WavFile whole;
      ASSERT_EQ(whole.ReadHeader(dir.File("in.wav"), 1), 1);
      ASSERT_EQ(whole.LoadSamples(1), 1);
      whole.GetWavData()->GetEventMgr().SetSampleRate(16000);
      I_WavData* data = whole.GetWavData();
      FilterSamples(BestFilterKernel(), format, data->GetBuffer(), data->GetDataLength() / 2, chain,
                    2);
      C_StringByteSink expected;
      ASSERT_EQ(whole.WriteTo(expected, threshold), 1);

      // One thread reads, filters and writes in turn; with threads to spare a helper reads and
      // writes beside the filter.
      for (const unsigned threads : {1U, 4U}) {
        C_WavFile streamed;  // a file opened for each write, as a conversion does
        ASSERT_EQ(streamed.ReadHeader(dir.File("in.wav"), 1), 1);
        ASSERT_TRUE(streamed.CanStream());
        const auto stream = SampleStream::Create(BestFilterKernel(), format, chain, 2, 1);
        StreamBlockFilter filter(*stream, 4, nullptr, threads);
        EXPECT_EQ(filter.SpareThread(), threads == 4);
        C_StringByteSink got;
        ASSERT_EQ(streamed.StreamInto(got, filter, block, threshold), 1);
        EXPECT_TRUE(got.Bytes() == expected.Bytes()) << threads << " threads";
        EXPECT_EQ(got.Bytes().substr(0, 4), threshold == 64 ? "RF64" : "RIFF");
      }
      FreeFilterChain(chain);
    }
  }
}

}  // namespace
