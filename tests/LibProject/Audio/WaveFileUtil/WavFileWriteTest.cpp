#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "LibProject/Audio/WaveFileUtil/WavFile.h"
#include "LibProject/Audio/WaveFileUtil/riff/RiffFile.h"
#include "tests/LibProject/Audio/WaveFileUtil/WaveTestUtil.h"
#if TONVALE_HAVE_SNDFILE
#include "tests/support/SndfileReader.h"
#endif

namespace {

using namespace testsupport;

// The ids of a file's top-level chunks, in order, as an independent walk over the bytes sees
// them (every odd-sized chunk must be followed by its pad byte).
std::vector<std::string> ChunkIds(const std::string& path) {
  const std::string bytes = ReadFile(path);
  std::vector<std::string> ids;
  std::size_t pos = 12;
  while (pos + 8 <= bytes.size()) {
    const std::uint32_t size = Le32At(bytes, pos + 4);
    ids.push_back(bytes.substr(pos, 4));
    pos += 8 + size + (size & 1U);
  }
  EXPECT_EQ(pos, bytes.size()) << path;
  EXPECT_EQ(Le32At(bytes, 4), bytes.size() - 8);
  return ids;
}

std::vector<std::uint8_t> ExtraChunkFile() {
  return RiffBuilder()
      .Chunk("fmt ", FmtBody(1, 1, 8000, 8))
      .Chunk("fact", {5, 0, 0, 0})
      .Chunk("data", {1, 2, 3, 4, 5})  // odd: 8-bit mono of odd length
      .Chunk("cue ", CueBody({{1, 1000}, {2, 2000}, {3, 3000}, {4, 4000}}))
      .Chunk("LIST",
             AdtlBody({{1, "(3,7)"}, {2, "plain words"}, {3, "  silence \n"}, {4, "(1,-2)(5,6)"}},
                      {{3, 640}}))
      // The recording's tags: an INFO list naming the software (ISFT) "sox".
      .Chunk("LIST", {'I', 'N', 'F', 'O', 'I', 'S', 'F', 'T', 4, 0, 0, 0, 's', 'o', 'x', 0})
      .Chunk("WIOD", {9, 8, 7})
      .Chunk("UIOI", {})
      .Build();
}

TEST(WavFileWriteTest, LabelsBecomeEventsAndSilenceAndAreWrittenBack) {
  TempDir dir;
  auto file = Open(WriteBytes(dir, "in.wav", ExtraChunkFile()));
  ASSERT_TRUE(file);
  I_WavData& data = *file->GetWavData();
  const auto& events = data.GetEventMgr().Events();
  ASSERT_EQ(events.size(), 3U);
  EXPECT_EQ(events[0].GetSamplePosition(), 1000U);
  EXPECT_EQ(events[0].firstValue, 3);
  EXPECT_EQ(events[0].secondValue, 7);
  EXPECT_EQ(events[0].sampleRate, 8000U);
  EXPECT_EQ(events[1].GetSamplePosition(), 4000U);
  EXPECT_EQ(events[2].secondValue, 6);
  ASSERT_EQ(data.GetEventMgr().SilenceRegions().size(), 1U);
  EXPECT_EQ(data.GetEventMgr().SilenceRegions()[0].start, 3000U);
  EXPECT_EQ(data.GetEventMgr().SilenceRegions()[0].length, 640U);

  const std::string out = dir.File("out.wav");
  ASSERT_EQ(data.SaveAs(kFormatTypeWav, out), 1);
  // fact and the empty extra chunk are gone; the INFO list (the recording's tags) is kept
  // verbatim among the extra chunks, in its place among them.
  EXPECT_EQ(ChunkIds(out),
            (std::vector<std::string>{"fmt ", "data", "cue ", "LIST", "LIST", "WIOD"}));

  auto back = Open(out);
  ASSERT_TRUE(back);
  I_WavData& again = *back->GetWavData();
  EXPECT_EQ(again.GetDataLength(), 5U);
  EXPECT_EQ(again.GetBuffer()[4], 5);
  // The rebuilt labels first, their cue ids passing over 2, which the plain label keeps.
  const auto& labels = again.ListInfo().Labels();
  ASSERT_EQ(labels.size(), 5U);
  EXPECT_EQ(labels[0].text, "(3,7)");
  EXPECT_EQ(labels[1].text, "(1,-2)");
  EXPECT_EQ(labels[2].text, "(5,6)");
  EXPECT_EQ(labels[3].text, "SILENCE");
  EXPECT_EQ(labels[4].text, "plain words");
  EXPECT_EQ((std::vector<std::uint32_t>{labels[0].cueId, labels[1].cueId, labels[2].cueId,
                                        labels[3].cueId, labels[4].cueId}),
            (std::vector<std::uint32_t>{1, 3, 4, 5, 2}));
  EXPECT_EQ(again.CueInfo().Find(2)->position, 2000U);
  EXPECT_EQ(again.CueInfo().Find(labels[3].cueId)->position, 3000U);
  EXPECT_EQ(again.ListInfo().SampleLengthFor(labels[3].cueId), 640U);
  ASSERT_EQ(again.ExtraChunkInfo().Chunks().size(), 2U);
  EXPECT_EQ(std::string(again.ExtraChunkInfo().Chunks()[0].id, 4), "LIST");
  EXPECT_EQ(again.ExtraChunkInfo().Chunks()[1].bytes, (std::vector<std::uint8_t>{9, 8, 7}));
}

std::vector<std::uint8_t> Vec(std::string_view bytes) { return {bytes.begin(), bytes.end()}; }

// The data of the first top-level chunk with `id`.
std::string ChunkData(const std::string& bytes, std::string_view id) {
  const std::size_t at = ChunkBodyAt(bytes, id);
  return at == std::string::npos ? std::string() : bytes.substr(at, Le32At(bytes, at - 4));
}

// Markers as another editor leaves them, as stored: labels, a note and a labelled text of a
// region (cue id, sample length, purpose "rgn ", country, language, dialect, code page, text);
// odd sizes with their pad bytes; a label of bytes that are not printable text (one after its
// NUL); a label whose cue id has no cue point.
const std::string kEditorMarkers = Bytes(
    "labl\x0A\0\0\0\x01\0\0\0Intro\0"
    "labl\x0F\0\0\0\x02\0\0\0Question 1\0\0"
    "note\x0D\0\0\0\x02\0\0\0Ask why.\0\0"
    "ltxt\x1D\0\0\0\x01\0\0\0\x28\0\0\0rgn \x2C\0\x09\0\x01\0\xE4\x04Opening.\0\0"
    "labl\x0C\0\0\0\x03\0\0\0\x01\xFF\x7F\t\xC3\x28\0\x80"
    "labl\x0B\0\0\0\x09\0\0\0Orphan\0\0");

TEST(WavFileWriteTest, LabelsNotesAndTextsOfOtherToolsAreWrittenBackByteForByte) {
  TempDir dir;
  // The program's own label, "(3,7)" on cue 5, after the first of the editor's.
  const std::string adtl = "adtl" + kEditorMarkers.substr(0, 18) +
                           Bytes("labl\x0A\0\0\0\x05\0\0\0(3,7)\0") + kEditorMarkers.substr(18);
  auto file = Open(WriteBytes(dir, "in.wav",
                              RiffBuilder()
                                  .Chunk("fmt ", FmtBody(1, 1, 8000, 16))
                                  .Chunk("data", Pcm16Bytes(std::vector<std::int16_t>(100, 7)))
                                  .Chunk("cue ", CueBody({{1, 10}, {2, 50}, {3, 70}, {5, 90}}))
                                  .Chunk("LIST", Vec(adtl))
                                  .Build()));
  ASSERT_TRUE(file);
  const std::string out = dir.File("out.wav");
  ASSERT_EQ(file->GetWavData()->SaveAs(kFormatTypeWav, out), 1);
  EXPECT_EQ(ChunkIds(out), (std::vector<std::string>{"fmt ", "data", "cue ", "LIST"}));

  // The program's label is rebuilt first, on cue 4, the first id no kept sub-chunk holds; the
  // others follow unchanged, in their order, with their cue ids (the orphan's 9 included).
  const std::string written = ReadFile(out);
  EXPECT_EQ(ChunkData(written, "LIST"),
            "adtl" + Bytes("labl\x0A\0\0\0\x04\0\0\0(3,7)\0") + kEditorMarkers);
  // The cue points stay where they were; the event's point is added after them.
  std::vector<std::uint8_t> cue = CueBody({{1, 10}, {2, 50}, {3, 70}, {5, 90}, {4, 90}});
  EXPECT_EQ(ChunkData(written, "cue "), std::string(cue.begin(), cue.end()));

  // Read again, it has the one event, and writing it once more changes no byte.
  auto back = Open(out);
  ASSERT_TRUE(back);
  ASSERT_EQ(back->GetWavData()->GetEventMgr().Events().size(), 1U);
  EXPECT_EQ(back->GetWavData()->GetEventMgr().Events()[0].GetSamplePosition(), 90U);
  const std::string again = dir.File("again.wav");
  ASSERT_EQ(back->GetWavData()->SaveAs(kFormatTypeWav, again), 1);
  EXPECT_TRUE(ReadFile(again) == written);

#if TONVALE_HAVE_SNDFILE
  // libsndfile finds the cue points and names them after their labels (it leaves out the name
  // that is not printable text).
  SF_INFO info{};
  SNDFILE* sf = sf_open(out.c_str(), SFM_READ, &info);
  ASSERT_NE(sf, nullptr) << sf_strerror(nullptr);
  SF_CUES cues{};
  ASSERT_EQ(sf_command(sf, SFC_GET_CUE, &cues, sizeof cues), SF_TRUE);
  sf_close(sf);
  std::vector<std::tuple<std::int32_t, std::uint32_t, std::string>> seen;
  for (std::uint32_t i = 0; i < cues.cue_count; ++i) {
    seen.emplace_back(cues.cue_points[i].indx, cues.cue_points[i].position,
                      i == 2 ? std::string() : std::string(cues.cue_points[i].name));
  }
  EXPECT_EQ(
      seen,
      (std::vector<std::tuple<std::int32_t, std::uint32_t, std::string>>{
          {1, 10, "Intro"}, {2, 50, "Question 1"}, {3, 70, ""}, {5, 90, ""}, {4, 90, "(3,7)"}}));
#endif
}

// A file whose labels are all the program's own is written as it always was: the labels
// rebuilt with cue ids from 1 up (a point of the same id moved to its event), all labels before
// the labelled texts, a label's size rounded up to even.
TEST(WavFileWriteTest, FilesWithOnlyTheProgramsLabelsKeepTheirBytes) {
  TempDir dir;
  const auto source = RiffBuilder()
                          .Chunk("fmt ", FmtBody(1, 1, 8000, 16))
                          .Chunk("data", Pcm16Bytes({1, 2, 3}))
                          .Chunk("cue ", CueBody({{7, 2}, {3, 1}}))
                          .Chunk("LIST", AdtlBody({{7, " SILENCE"}, {3, "(3,7)(-1,4)"}}, {{7, 2}}))
                          .Build();
  auto file = Open(WriteBytes(dir, "in.wav", source));
  ASSERT_TRUE(file);
  const std::string out = dir.File("out.wav");
  ASSERT_EQ(file->GetWavData()->SaveAs(kFormatTypeWav, out), 1);
  // The labels, then the labelled text of the silence: cue 3, length 2, the rest zero.
  const std::string list = Bytes(
      "adtl"
      "labl\x0A\0\0\0\x01\0\0\0(3,7)\0"
      "labl\x0C\0\0\0\x02\0\0\0(-1,4)\0\0"
      "labl\x0C\0\0\0\x03\0\0\0SILENCE\0"
      "ltxt\x14\0\0\0\x03\0\0\0\x02\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0");
  const auto expected = RiffBuilder()
                            .Chunk("fmt ", FmtBody(1, 1, 8000, 16))
                            .Chunk("data", Pcm16Bytes({1, 2, 3}))
                            .Chunk("cue ", CueBody({{7, 2}, {3, 2}, {1, 1}, {2, 1}}))
                            .Chunk("LIST", Vec(list))
                            .Build();
  EXPECT_TRUE(ReadFile(out) == std::string(expected.begin(), expected.end()));
}

// A sampler chunk whose loop count and sampler-data size claim more than the chunk holds is
// written back consistent: the loops held, and no invented sampler data.
TEST(WavFileWriteTest, SamplerChunkIsWrittenConsistent) {
  TempDir dir;
  std::vector<std::uint8_t> smpl;
  for (int i = 0; i < 7; ++i) Put32(smpl, static_cast<std::uint32_t>(i));
  Put32(smpl, 0xFFFFFFFF);  // loop count
  Put32(smpl, 0xFFFFFFF0);  // sampler-data size
  for (int i = 0; i < 6; ++i) Put32(smpl, 100 + static_cast<std::uint32_t>(i));  // one loop
  PutText(smpl, "xyz!");  // four bytes of sampler data
  const auto bytes = RiffBuilder()
                         .Chunk("fmt ", FmtBody(1, 1, 8000, 16))
                         .Chunk("data", Pcm16Bytes({1}))
                         .Chunk("smpl", smpl)
                         .Build();
  auto file = Open(WriteBytes(dir, "in.wav", bytes));
  ASSERT_TRUE(file);
  ASSERT_EQ(file->GetWavData()->SamplerInfo().Loops().size(), 1U);
  const std::string out = dir.File("out.wav");
  ASSERT_EQ(file->GetWavData()->SaveAs(kFormatTypeWav, out), 1);
  EXPECT_EQ(ChunkIds(out), (std::vector<std::string>{"fmt ", "data", "smpl"}));
  const std::string written = ReadFile(out);
  const std::size_t at = written.find("smpl");
  const auto* p = reinterpret_cast<const std::uint8_t*>(written.data() + at + 4);
  EXPECT_EQ(p[0] | (p[1] << 8), 36 + 24 + 4);
  EXPECT_EQ(static_cast<std::uint8_t>(written[at + 8 + 28]), 1);  // loop count
  EXPECT_EQ(static_cast<std::uint8_t>(written[at + 8 + 32]), 4);  // sampler-data size
}

TEST(WavFileWriteTest, FailedWriteLeavesTheTargetAsItWas) {
  TempDir dir;
  auto file = Open(WriteBytes(dir, "in.wav", PcmWave(1, 8000, 16, Pcm16Bytes({1, 2, 3}))));
  ASSERT_TRUE(file);
  EXPECT_EQ(file->GetWavData()->SaveAs(kFormatTypeWav, dir.File("missing/out.wav")), 0);
  // A container that cannot be written (it claims more data than it holds) leaves an existing
  // file alone and no temporary file behind.
  const std::string target = dir.File("keep.wav");
  WriteFile(target, "old");
  auto broken = MakeRef<C_WavData>();
  broken->SetFormat(8000, 100, 1, 16, 16, 1);
  broken->GetSampleBuffer().Allocate(10);
  EXPECT_EQ(broken->SaveAs(kFormatTypeWav, target), 0);
  EXPECT_EQ(ReadFile(target), "old");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()),
                          std::filesystem::directory_iterator()),
            2);
}

TEST(WavFileWriteTest, TwelveBitDataIsWrittenAsSixteenBit) {
  TempDir dir;
  auto data = MakeRef<C_WavData>();
  data->SetFormat(8000, 0, 1, 12, 16, 1);
  std::uint8_t* bytes = data->AllocateBuffer(4);
  bytes[0] = 0xF0;
  bytes[1] = 0x7F;
  bytes[2] = 0x10;
  bytes[3] = 0x80;
  const std::string out = dir.File("twelve.wav");
  ASSERT_EQ(data->SaveAs(kFormatTypeWav, out), 1);
  auto back = Open(out);
  ASSERT_TRUE(back);
  EXPECT_EQ(back->GetWavInfo()->GetBitsPerSample(), 16);
  EXPECT_EQ(Samples16(*back->GetWavData()), (std::vector<std::int16_t>{0x7FF0, -32752}));
}

std::uint64_t Le64(const std::string& bytes, std::size_t at) {
  std::uint64_t value = 0;
  for (int i = 7; i >= 0; --i) value = value << 8 | static_cast<std::uint8_t>(bytes[at + i]);
  return value;
}

// A file too large for the 32-bit sizes is written as RF64 (the limit lowered to a few bytes
// here): "ds64" first with the real sizes, the 32-bit size fields all ones.
TEST(WavFileWriteTest, FilesBeyondTheThirtyTwoBitSizesAreWrittenAsRf64) {
  std::vector<std::uint8_t> samples;
  for (int i = 0; i < 301; ++i) {  // stereo 24-bit: 1806 data bytes
    for (const int v : {i * 2711 - 400000, -i * 977}) {
      const auto u = static_cast<std::uint32_t>(v);
      samples.insert(samples.end(),
                     {static_cast<std::uint8_t>(u), static_cast<std::uint8_t>(u >> 8),
                      static_cast<std::uint8_t>(u >> 16)});
    }
  }
  const auto source = RiffBuilder()
                          .Chunk("fmt ", FmtBody(1, 2, 48000, 24))
                          .Chunk("data", samples)
                          .Chunk("iXML", {'<', 'x', '/', '>', '\n'})  // odd: padded
                          .Build();
  C_WavFile file;
  ASSERT_EQ(file.ReadHeaderFromMemory(source, 1), 1);
  ASSERT_EQ(file.LoadSamples(1), 1);
  C_StringByteSink sink;
  ASSERT_EQ(file.WriteTo(sink, 64), 1);
  const std::string& out = sink.Bytes();
  ASSERT_GT(out.size(), 80U);
  EXPECT_EQ(out.substr(0, 20), std::string("RF64\xFF\xFF\xFF\xFFWAVEds64\x1C\x00\x00\x00", 20));
  EXPECT_EQ(Le64(out, 20), out.size() - 8);  // RIFF size
  EXPECT_EQ(Le64(out, 28), 1806U);           // data size
  EXPECT_EQ(Le64(out, 36), 301U);            // sample frames
  const std::size_t data = out.find("data");
  ASSERT_NE(data, std::string::npos);
  EXPECT_EQ(out.substr(data + 4, 4), std::string("\xFF\xFF\xFF\xFF", 4));
  EXPECT_EQ(out.substr(data + 8, samples.size()), std::string(samples.begin(), samples.end()));
  EXPECT_EQ(out.substr(out.size() - 14), std::string("iXML\x05\x00\x00\x00<x/>\n\x00", 14));

  // Our reader takes it back with the same samples.
  const std::vector<std::uint8_t> written(out.begin(), out.end());
  C_WavFile again;
  ASSERT_EQ(again.ReadHeaderFromMemory(written, 1), 1);
  ASSERT_EQ(again.LoadSamples(1), 1);
  ASSERT_EQ(again.GetWavData()->GetDataLength(), samples.size());
  EXPECT_EQ(std::vector<std::uint8_t>(again.GetBuffer(), again.GetBuffer() + samples.size()),
            samples);
#if TONVALE_HAVE_SNDFILE
  // And so does libsndfile.
  TempDir dir;
  const std::string path = WriteBytes(dir, "rf64.wav", written);
  SF_INFO info{};
  SNDFILE* sf = sf_open(path.c_str(), SFM_READ, &info);
  ASSERT_NE(sf, nullptr) << sf_strerror(nullptr);
  EXPECT_EQ(info.format, SF_FORMAT_RF64 | SF_FORMAT_PCM_24);
  EXPECT_EQ(info.frames, 301);
  std::vector<int> read(602);
  EXPECT_EQ(sf_read_int(sf, read.data(), 602), 602);
  sf_close(sf);
  for (std::size_t i = 0; i < read.size(); ++i) {
    const std::uint32_t u = samples[3 * i] | samples[3 * i + 1] << 8 | samples[3 * i + 2] << 16;
    ASSERT_EQ(read[i], static_cast<std::int32_t>(u << 8)) << i;
  }
#endif
}

#if TONVALE_HAVE_SNDFILE  // the independent reader has no Windows build
// Files we write, read by an independent reader (libsndfile).
TEST(WavFileWriteTest, IndependentReaderSeesTheSameSamples) {
  TempDir dir;
  struct Case {
    std::uint16_t channels;
    std::uint32_t rate;
    std::uint16_t bits;
    std::vector<std::uint8_t> data;
  };
  const std::vector<Case> cases = {
      {1, 16000, 16, Pcm16Bytes({0, 1, -1, 32767, -32768, 1234})},
      {2, 44100, 16, Pcm16Bytes({10, -10, 20, -20})},
      {1, 8000, 8, {0, 1, 127, 128, 129, 255, 7}},
  };
  for (const Case& c : cases) {
    auto data = MakeRef<C_WavData>();
    data->SetFormat(c.rate, 0, c.channels, c.bits, c.bits, c.bits > 8 ? 1 : 0);
    data->SetBufferCopy(c.data.data(), static_cast<std::uint32_t>(c.data.size()));
    data->GetEventMgr().AddEventAtSample(1, 1, "", 2);  // a cue and a label chunk after the data
    const std::string out =
        dir.File("out" + std::to_string(c.bits) + std::to_string(c.channels) + ".wav");
    ASSERT_EQ(data->SaveAs(kFormatTypeWav, out), 1);

    const SndfileRead read = ReadWithSndfile(out);
    ASSERT_TRUE(read.ok) << sf_strerror(nullptr);
    EXPECT_EQ(read.info.samplerate, static_cast<int>(c.rate));
    EXPECT_EQ(read.info.channels, c.channels);
    EXPECT_EQ(read.info.format & SF_FORMAT_SUBMASK,
              c.bits == 8 ? SF_FORMAT_PCM_U8 : SF_FORMAT_PCM_16);
    const std::size_t count = c.data.size() / (c.bits / 8);  // whole frames in every case
    EXPECT_EQ(static_cast<std::size_t>(read.info.frames) * c.channels, count);
    ASSERT_EQ(read.samples.size(), count);
    for (std::size_t i = 0; i < count; ++i) {
      const int expected =
          c.bits == 8 ? (c.data[i] - 128) * 256
                      : static_cast<std::int16_t>(c.data[2 * i] | (c.data[2 * i + 1] << 8));
      EXPECT_EQ(read.samples[i], expected) << i;
    }
  }
}
#endif

}  // namespace
