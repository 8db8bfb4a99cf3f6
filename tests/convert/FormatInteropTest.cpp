// Files in every sample format and container, converted and checked from outside: the expected
// samples come from the naive equalizer run over what sox or ffmpeg decode from the source, and
// what we write is decoded again by libsndfile, sox and ffmpeg, which must all agree with it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "convert/ConversionJob.h"
#include "tests/support/BandPower.h"
#include "tests/support/NaiveEqualizer.h"
#include "tests/support/RiffBuilder.h"
#include "tests/support/TestSupport.h"

#if TONVALE_HAVE_SNDFILE
#include <sndfile.h>

#include "tests/support/OutsideDecoders.h"

namespace {

using namespace testsupport;
namespace fs = std::filesystem;

// A high-pass, a boost and a cut: every kind of section, nothing near the limits.
EqBandTable Bands() {
  return {EqBand{.type = 2, .enable = 1, .gain = 24, .qual = 0.7, .cutoffFreq = 90, .stopFreq = 45},
          EqBand{.type = 1, .index = 1, .enable = 1, .gain = 4, .qual = 1.2, .centFreq = 1000},
          EqBand{.type = 1, .index = 2, .enable = 1, .gain = -6, .qual = 2, .centFreq = 3500}};
}

std::string Data(const std::string& name) { return std::string(TEST_DATA_DIR) + "/" + name; }

int Convert(const std::string& source, const std::string& output, const EqBandTable& table,
            std::string* log = nullptr) {
  ConversionJob job;
  job.sourcePath = source;
  job.outputPath = output;
  std::vector<ConversionJob> jobs{job};
  std::string text;
  const int result = ConvertFiles(jobs, table, [&text](std::string_view t) { text.append(t); });
  if (log != nullptr) {
    *log = text;
  }
  return result;
}

// The samples a decoder gave, in the stored samples' own scale (integers as integers).
std::vector<double> InOwnScale(const Decoded& decoded) {
  const double scale = decoded.isFloat ? 1.0 : std::ldexp(1.0, decoded.bits - 1);
  std::vector<double> values = decoded.samples;
  for (double& v : values) v *= scale;
  return values;
}

// What the output must hold: the naive equalizer over the decoded source, stored by the rules
// of the output's encoding.
std::vector<double> Expected(const Decoded& source, const EqBandTable& table) {
  std::vector<double> y = naive::RefRun(table, source.rate, InOwnScale(source), source.channels);
  for (double& v : y) {
    if (source.isFloat) {
      v = source.bits == 32 ? static_cast<double>(static_cast<float>(v)) : v;
    } else {
      v = static_cast<double>(naive::RefToInteger(v, source.bits));
    }
  }
  return y;
}

struct LosslessCase {
  const char* fixture;
  const char* outputExtension;
};

class LosslessFormatTest : public ::testing::TestWithParam<LosslessCase> {};

TEST_P(LosslessFormatTest, ConvertsExactlyAndEveryOutsideReaderAgrees) {
  const LosslessCase c = GetParam();
  TempDir dir;
  const std::string source = Data(c.fixture);
  const std::string output = dir.File(std::string("out") + c.outputExtension);
  const Decoded in = DecodeWithFfmpeg(source);
  ASSERT_TRUE(in.ok);
  ASSERT_EQ(Convert(source, output, Bands()), 1);
  const std::vector<double> expected = Expected(in, Bands());
  struct Reader {
    const char* name;
    Decoded (*decode)(const std::string&);
  };
  for (const auto& [name, decode] :
       {Reader{"libsndfile", &DecodeWithSndfile}, Reader{"sox", &DecodeWithSox},
        Reader{"ffmpeg", &DecodeWithFfmpeg}}) {
    const Decoded out = decode(output);
    ASSERT_TRUE(out.ok) << name << " cannot read " << c.fixture;
    EXPECT_EQ(out.rate, in.rate) << name;
    EXPECT_EQ(out.channels, in.channels) << name;
    EXPECT_EQ(out.isFloat, in.isFloat) << name;
    if (out.bits != 0) {
      EXPECT_EQ(out.bits, in.bits) << name;
    }
    const std::vector<double> got =
        InOwnScale(Decoded{true, 0, 0, in.bits, in.isFloat, out.samples});
    ASSERT_EQ(got.size(), expected.size()) << name;
    // sox carries samples as 32-bit integers inside: it sees floats to within 2^-31 and clips
    // them to full scale.
    const bool viaIntegers = in.isFloat && std::string(name) == "sox";
    const double tolerance = viaIntegers ? std::ldexp(1.0, -31) : 0.0;
    std::size_t differ = 0;
    for (std::size_t i = 0; i < got.size(); ++i) {
      const double want = viaIntegers ? std::clamp(expected[i], -1.0, 1.0) : expected[i];
      differ += std::fabs(got[i] - want) > tolerance;
    }
    EXPECT_EQ(differ, 0U) << name << " sees " << differ << " samples other than expected";
  }
}

INSTANTIATE_TEST_SUITE_P(EveryLosslessFlavour, LosslessFormatTest,
                         ::testing::Values(LosslessCase{"format-pcm24-tag1-sndfile.wav", ".wav"},
                                           LosslessCase{"format-pcm24-ext-sox.wav", ".wav"},
                                           LosslessCase{"format-pcm32-ffmpeg.wav", ".wav"},
                                           LosslessCase{"format-float32-sox.wav", ".wav"},
                                           LosslessCase{"format-float32-sndfile.wav", ".wav"},
                                           LosslessCase{"format-float64-ext-ffmpeg.wav", ".wav"},
                                           LosslessCase{"format-ext-4ch-sox.wav", ".wav"},
                                           LosslessCase{"format-rf64-ffmpeg.wav", ".wav"},
                                           LosslessCase{"format-flac16-sox.flac", ".flac"},
                                           LosslessCase{"format-flac24-ffmpeg.flac", ".flac"},
                                           LosslessCase{"format-aiff-sox.aiff", ".aiff"},
                                           LosslessCase{"format-caf-sndfile.caf", ".caf"},
                                           LosslessCase{"format-w64-sox.w64", ".w64"},
                                           LosslessCase{"format-au-sox.au", ".au"},
                                           LosslessCase{"format-flac24-ffmpeg.flac", ".wav"},
                                           LosslessCase{"format-pcm24-ext-sox.wav", ".flac"}),
                         [](const ::testing::TestParamInfo<LosslessCase>& info) {
                           std::string name = std::string(info.param.fixture) + "_to_" +
                                              (info.param.outputExtension + 1);
                           for (char& ch : name) {
                             if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
                           }
                           return name;
                         });

class LossyFormatTest : public ::testing::TestWithParam<const char*> {};

// Re-encoded lossy files decode cleanly, and the band's gain survives the codecs.
TEST_P(LossyFormatTest, DecodesCleanlyWithTheEqAudible) {
  TempDir dir;
  const std::string extension = GetParam();
  const std::string source = dir.File("in" + extension);
  std::vector<std::string> encode = {
      "-v", "error", "-f", "lavfi", "-i", "anoisesrc=d=1.5:c=white:r=48000:a=0.2", "-ac", "1"};
  if (extension == ".mp3") {
    encode.insert(encode.end(), {"-c:a", "libmp3lame", "-b:a", "320k"});
  } else if (extension == ".opus") {
    encode.insert(encode.end(), {"-c:a", "libopus", "-b:a", "256k"});
  } else {
    encode.insert(encode.end(), {"-c:a", "libvorbis", "-q:a", "9"});
  }
  encode.push_back(source);
  ASSERT_EQ(RunProcess("/usr/bin/ffmpeg", encode).exitCode, 0);
  const EqBandTable boost = {
      EqBand{.type = 1, .index = 0, .enable = 1, .gain = 12, .qual = 1, .centFreq = 3000}};
  std::string log;
  ASSERT_EQ(Convert(source, dir.File("out" + extension), boost, &log), 1) << log;
  EXPECT_NE(log.find("BitPerSample:32,"), std::string::npos) << log;
  for (Decoded (*decode)(const std::string&) : {&DecodeWithFfmpeg, &DecodeWithSndfile}) {
    const Decoded in = decode(source);
    const Decoded out = decode(dir.File("out" + extension));
    ASSERT_TRUE(in.ok && out.ok);
    EXPECT_EQ(out.rate, 48000);
    const double gain = 10.0 * std::log10(BandPower(out.samples, 1, 48000, 2950, 3050, 4096) /
                                          BandPower(in.samples, 1, 48000, 2950, 3050, 4096));
    EXPECT_NEAR(gain, 12.0, 0.5);
  }
}

INSTANTIATE_TEST_SUITE_P(EveryLossyCodec, LossyFormatTest,
                         ::testing::Values(".ogg", ".opus", ".mp3"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                           return std::string(info.param + 1);
                         });

// `seconds` of a 300 Hz tone with a little noise, mono at 48 kHz, encoded by ffmpeg with
// `codec` into `path`.
void EncodeTone(const std::string& path, const std::vector<std::string>& codec, int seconds = 4) {
  std::vector<std::string> args = {
      "-v",
      "error",
      "-y",
      "-f",
      "lavfi",
      "-i",
      "aevalsrc=0.4*sin(2*PI*300*t)+0.02*(random(0)-0.5):s=48000:d=" + std::to_string(seconds)};
  args.insert(args.end(), codec.begin(), codec.end());
  args.push_back(path);
  ASSERT_EQ(RunProcess("/usr/bin/ffmpeg", args).exitCode, 0) << path;
}

// The first `fraction` of a file's bytes, as a download or a copy that stopped would leave it.
void CutFile(const std::string& from, const std::string& to, double fraction) {
  const std::string bytes = ReadFile(from);
  WriteFile(
      to, bytes.substr(0, static_cast<std::size_t>(static_cast<double>(bytes.size()) * fraction)));
}

// The frames of a mono file as ffmpeg decodes them, whatever it says about damage on the way.
std::size_t FfmpegFrames(const std::string& path) {
  TempDir dir;
  const ProcessResult run = RunProcess(
      "/usr/bin/ffmpeg", {"-v", "quiet", "-i", path, "-f", "s16le", "-ac", "1", dir.File("raw")});
  return run.exitCode == 0 ? ReadFile(dir.File("raw")).size() / 2 : 0;
}

// A cut file converts what it holds, with one line after the format line that says how much of
// the stated length that was (Ogg files state none: theirs says the stream's end is missing).
// The frames are counted against ffmpeg's decoding of the same cut file; an MP3 decoder may
// give or drop the last, broken frame of 1152 samples.
TEST(FormatInteropTest, SourcesCutShortConvertWhatTheyHoldAndSaySo) {
  TempDir dir;
  struct Case {
    const char* extension;
    const char* format;
    std::vector<std::string> codec;
    bool statesLength;
    std::size_t slack;
  };
  const Case cases[] = {
      {".flac", "FLAC", {"-c:a", "flac"}, true, 0},
      {".mp3", "MP3", {"-c:a", "libmp3lame", "-b:a", "64k"}, true, 1152},
      {".ogg", "OGG", {"-c:a", "libvorbis", "-q:a", "3"}, false, 0},
      {".opus", "OPUS", {"-c:a", "libopus", "-b:a", "32k"}, false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.extension);
    const std::string whole = dir.File(std::string("whole") + c.extension);
    const std::string cut = dir.File(std::string("cut") + c.extension);
    EncodeTone(whole, c.codec);
    CutFile(whole, cut, 0.5);
    const std::size_t outside = FfmpegFrames(cut);
    std::string log;
    ASSERT_EQ(Convert(cut, dir.File("cut_out.wav"), {}, &log), 1) << log;
    const Decoded out = DecodeWithSndfile(dir.File("cut_out.wav"));
    ASSERT_TRUE(out.ok);
    const std::size_t frames = out.samples.size();
    EXPECT_NEAR(static_cast<double>(frames), static_cast<double>(outside),
                static_cast<double>(c.slack));
    EXPECT_GT(frames, 40000U);
    const std::string line = c.statesLength ? "The source ends early: " + std::to_string(frames) +
                                                  " of 192000 stated frames read."
                                            : "The source ends early: " + std::to_string(frames) +
                                                  " frames read, the end of its stream is missing.";
    EXPECT_NE(log.find(std::string("Information:File format is ") + c.format +
                       ".\r\nInformation:" + line + "\r\nInformation:Time:"),
              std::string::npos)
        << log;
    // Into its own format too, and the whole file says nothing of the kind.
    ASSERT_EQ(Convert(cut, dir.File(std::string("cut_out") + c.extension), Bands(), &log), 1)
        << log;
    EXPECT_NE(log.find(line), std::string::npos) << log;
    ASSERT_EQ(Convert(whole, dir.File(std::string("whole_out") + c.extension), Bands(), &log), 1);
    EXPECT_EQ(log.find("ends early"), std::string::npos) << log;
  }
  // An MP3 file without a Xing header states no length (libsndfile's is an estimate from the
  // file's size): a whole one says nothing either.
  EncodeTone(dir.File("plain.mp3"), {"-c:a", "libmp3lame", "-b:a", "64k", "-write_xing", "0"});
  std::string log;
  ASSERT_EQ(Convert(dir.File("plain.mp3"), dir.File("plain_out.wav"), {}, &log), 1) << log;
  EXPECT_EQ(log.find("ends early"), std::string::npos) << log;
}

// A FLAC file written to a pipe states no total (0), and one whose total was written wrong
// states 1000 of its 192000 samples: both convert all their audio, as ffmpeg decodes it.
TEST(FormatInteropTest, FlacTotalsOfZeroOrTooFewLoseNoAudio) {
  TempDir dir;
  const std::string piped = dir.File("piped.flac");
  const std::string wav = dir.File("tone.wav");
  EncodeTone(wav, {"-c:a", "pcm_s16le"});
  ASSERT_EQ(RunProcess("/bin/sh", {"-c", "/usr/bin/ffmpeg -v error -i '" + wav + "' -f flac - > '" +
                                             piped + "'"})
                .exitCode,
            0);
  // STREAMINFO's total: the low 4 bits of byte 21 and bytes 22 to 25.
  std::string bytes = ReadFile(piped);
  ASSERT_EQ(bytes.substr(0, 4), "fLaC");
  ASSERT_EQ(bytes[21] & 0x0F, 0);
  ASSERT_EQ(bytes.substr(22, 4), std::string(4, '\0'));
  bytes[24] = '\x03';  // 1000 = 0x3E8
  bytes[25] = '\xE8';
  WriteFile(dir.File("thousand.flac"), bytes);
  const Decoded source = DecodeWithSndfile(wav);
  ASSERT_EQ(source.samples.size(), 192000U);
  for (const std::string name : {"piped.flac", "thousand.flac"}) {
    SCOPED_TRACE(name);
    std::string log;
    ASSERT_EQ(Convert(dir.File(name), dir.File("out.wav"), {}, &log), 1) << log;
    EXPECT_NE(log.find("Information:Time:4000 ms,SampleRate:48000 Hz,BitPerSample:16,Channel:1."),
              std::string::npos)
        << log;
    EXPECT_EQ(log.find("ends early"), std::string::npos) << log;
    EXPECT_EQ(DecodeWithSndfile(dir.File("out.wav")).samples, source.samples);
    EXPECT_EQ(DecodeWithFfmpeg(dir.File(name)).samples, source.samples);
  }
}

// Opus in a file named .ogg (the container's name) stays Opus, as "File format is OPUS" says.
TEST(FormatInteropTest, OpusInAnOggFileStaysOpus) {
  TempDir dir;
  WriteFile(dir.File("talk.ogg"), ReadFile(Data("format-opus-sndfile.opus")));
  std::string log;
  ASSERT_EQ(Convert(dir.File("talk.ogg"), dir.File("talk_filter.ogg"), Bands(), &log), 1) << log;
  EXPECT_NE(log.find("Information:File format is OPUS.\r\n"), std::string::npos) << log;
  const ProcessResult probe =
      RunProcess("/usr/bin/ffprobe", {"-v", "error", "-show_entries", "stream=codec_name", "-of",
                                      "csv=p=0", dir.File("talk_filter.ogg")});
  EXPECT_EQ(probe.out, "opus\n");
}

// A lossy source is encoded again near its own bitrate: the output is about as large as the
// source, not four to five times larger, for sources ffmpeg made at the bitrates people use.
TEST(FormatInteropTest, LossyOutputsStayNearTheSourcesSize) {
  TempDir dir;
  struct Case {
    const char* name;
    const char* rate;
    const char* channels;
    std::vector<std::string> codec;
  };
  const Case cases[] = {
      {"v48s.ogg", "48000", "2", {"-c:a", "libvorbis", "-q:a", "2"}},
      {"v16m.ogg", "16000", "1", {"-c:a", "libvorbis", "-q:a", "0"}},
      {"o48s.opus", "48000", "2", {"-c:a", "libopus", "-b:a", "96k"}},
      {"o16m.opus", "16000", "1", {"-c:a", "libopus", "-b:a", "24k"}},
      {"m44s.mp3", "44100", "2", {"-c:a", "libmp3lame", "-b:a", "128k"}},
      {"m22m.mp3", "22050", "1", {"-c:a", "libmp3lame", "-q:a", "6"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::string> args = {"-v",  "error", "-y",  "-i",      EXAMPLE_SPEECH,
                                     "-ar", c.rate,  "-ac", c.channels};
    args.insert(args.end(), c.codec.begin(), c.codec.end());
    args.push_back(dir.File(c.name));
    ASSERT_EQ(RunProcess("/usr/bin/ffmpeg", args).exitCode, 0);
    const std::string output = dir.File(std::string("out_") + c.name);
    ASSERT_EQ(Convert(dir.File(c.name), output, Bands()), 1);
    const double ratio = static_cast<double>(fs::file_size(output)) /
                         static_cast<double>(fs::file_size(dir.File(c.name)));
    EXPECT_GE(ratio, 0.7);
    EXPECT_LE(ratio, 1.5);
  }
}

TEST(FormatInteropTest, OutputsNamedForAContainerAreWrittenInIt) {
  TempDir dir;
  const std::string wav = Data("format-pcm24-ext-sox.wav");
  for (const auto& [extension, major] :
       {std::pair{".flac", SF_FORMAT_FLAC}, std::pair{".aif", SF_FORMAT_AIFF},
        std::pair{".w64", SF_FORMAT_W64}, std::pair{".wav", SF_FORMAT_WAV}}) {
    const std::string output = dir.File(std::string("named") + extension);
    ASSERT_EQ(Convert(wav, output, Bands()), 1) << extension;
    SF_INFO info{};
    SNDFILE* file = sf_open(output.c_str(), SFM_READ, &info);
    ASSERT_NE(file, nullptr) << extension;
    // A WAVE output keeps the source's extensible format.
    EXPECT_EQ(info.format & SF_FORMAT_TYPEMASK, major == SF_FORMAT_WAV ? SF_FORMAT_WAVEX : major)
        << extension;
    EXPECT_EQ(info.format & SF_FORMAT_SUBMASK, SF_FORMAT_PCM_24) << extension;
    sf_close(file);
  }
}

TEST(FormatInteropTest, TagsAndBroadcastChunksAreKept) {
  TempDir dir;
  // The FLAC comment sox wrote.
  ASSERT_EQ(Convert(Data("format-flac16-sox.flac"), dir.File("tagged.flac"), Bands()), 1);
  SF_INFO info{};
  SNDFILE* file = sf_open(dir.File("tagged.flac").c_str(), SFM_READ, &info);
  ASSERT_NE(file, nullptr);
  const char* comment = sf_get_string(file, SF_STR_COMMENT);
  EXPECT_STREQ(comment != nullptr ? comment : "", "Processed by SoX");
  sf_close(file);

  // A broadcast WAVE file's bext and iXML chunks, and the title ffmpeg put in an INFO list.
  std::vector<std::uint8_t> bext(602, 0);
  std::memcpy(bext.data(), "A broadcast description", 24);
  const std::vector<std::uint8_t> ixml = {'<', 'B', 'W', 'F', 'X', 'M', 'L', '/', '>'};
  WriteFile(dir.File("bwf.wav"), RiffBuilder()
                                     .Chunk("bext", bext)
                                     .Chunk("fmt ", FmtBody(1, 1, 8000, 16))
                                     .Chunk("iXML", ixml)
                                     .Chunk("data", Pcm16Bytes({1, 2, 3, 4}))
                                     .Build());
  ASSERT_EQ(Convert(dir.File("bwf.wav"), dir.File("bwf_out.wav"), Bands()), 1);
  const std::string written = ReadFile(dir.File("bwf_out.wav"));
  EXPECT_NE(written.find(std::string("bext") + std::string("\x5a\x02\x00\x00", 4) +
                         std::string(bext.begin(), bext.end())),
            std::string::npos);
  EXPECT_NE(written.find("iXML\x09\x00\x00\x00<BWFXML/>"), std::string::npos);
  ASSERT_EQ(Convert(Data("format-info-ffmpeg.wav"), dir.File("info_out.wav"), Bands()), 1);
  EXPECT_NE(ReadFile(dir.File("info_out.wav"))
                .find("INAM\x07\x00\x00\x00"
                      "A take"),
            std::string::npos);
}

// 20 valid bits in a 24-bit container: the output keeps the extensible format, its valid bits
// and channel mask, and clears the four unused low bits of every sample.
TEST(FormatInteropTest, ValidBitsAndChannelMaskAreKept) {
  TempDir dir;
  std::vector<std::uint8_t> fmt = FmtBody(0xFFFE, 2, 48000, 24);
  Put16(fmt, 22);
  Put16(fmt, 20);   // valid bits
  Put32(fmt, 0x3);  // front left and right
  Put16(fmt, 1);    // the PCM sub-format
  for (const std::uint8_t b :
       {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}) {
    fmt.push_back(b);
  }
  std::vector<std::uint8_t> samples;
  for (int i = 0; i < 4800; ++i) {
    const auto v =
        static_cast<std::uint32_t>(static_cast<std::int32_t>(std::sin(i * 0.05) * 2e6) << 4);
    samples.insert(samples.end(), {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
                                   static_cast<std::uint8_t>(v >> 16)});
  }
  WriteFile(dir.File("v20.wav"), RiffBuilder().Chunk("fmt ", fmt).Chunk("data", samples).Build());
  ASSERT_EQ(Convert(dir.File("v20.wav"), dir.File("v20_out.wav"), Bands()), 1);
  const std::string out = ReadFile(dir.File("v20_out.wav"));
  EXPECT_EQ(out.substr(12, 8 + 40).substr(8, 4), std::string("\xFE\xFF\x02\x00", 4));
  EXPECT_EQ(out.substr(20 + 16, 8), std::string("\x16\x00\x14\x00\x03\x00\x00\x00", 8));
  const Decoded in = DecodeWithFfmpeg(dir.File("v20.wav"));
  const Decoded written = DecodeWithSndfile(dir.File("v20_out.wav"));
  ASSERT_TRUE(in.ok && written.ok);
  std::vector<double> expected =
      naive::RefRun(Bands(), 48000, InOwnScale(Decoded{true, 0, 0, 24, false, in.samples}), 2);
  const std::vector<double> got = InOwnScale(Decoded{true, 0, 0, 24, false, written.samples});
  ASSERT_EQ(got.size(), expected.size());
  for (std::size_t i = 0; i < got.size(); ++i) {
    ASSERT_EQ(got[i], static_cast<double>(naive::RefToInteger(expected[i], 24, 20))) << i;
  }
}

}  // namespace
#endif  // TONVALE_HAVE_SNDFILE
