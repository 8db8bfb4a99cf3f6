#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>

#include "LibProject/Audio/WaveFileUtil/WavFileFormat.h"
#include "LibProject/Audio/WaveFileUtil/riff/RiffFile.h"
#include "tests/LibProject/Audio/WaveFileUtil/WaveTestUtil.h"

namespace {

using namespace testsupport;

TEST(RiffFileTest, WalksOddChunksPadBytesZeroRunsAndLowerCaseTags) {
  const auto bytes = RiffBuilder("riff", "wave")
                         .Chunk("odd ", {1, 2, 3})  // pad byte follows
                         .Raw({0, 0, 0, 0, 0})      // a run of zero bytes
                         .Chunk("fmt ", FmtBody(1, 1, 8000, 8))
                         .Chunk("data", {0x80, 0x81, 0x82}, false)  // no pad byte at all
                         .Chunk("tail", {9, 9})
                         .Build();
  C_MemoryByteSource source(bytes);
  C_RiffFile riff;
  ASSERT_TRUE(riff.Open(source, "WAVE"));
  ASSERT_EQ(riff.Chunks().Count(), 4U);
  EXPECT_TRUE(riff.Chunks().At(1).IsId("FMT "));
  EXPECT_EQ(riff.Chunks().At(2).Size(), 3U);
  EXPECT_EQ(riff.Chunks().At(3).Data(), (std::vector<std::uint8_t>{9, 9}));
}

TEST(WavFileReadTest, PcmOpensByContentWithSignednessByWidth) {
  TempDir dir;
  const std::string eight = WriteBytes(dir, "voice.txt", PcmWave(1, 8000, 8, {0, 128, 255}));
  const std::string sixteen =
      WriteBytes(dir, "noext", PcmWave(2, 16000, 16, Pcm16Bytes({1, -2, 300, -400})));
  auto file8 = Open(eight);
  ASSERT_TRUE(file8);
  EXPECT_EQ(file8->GetFormatType(), kFormatTypeWav);
  EXPECT_EQ(file8->GetCodecType(), 0U);
  EXPECT_EQ(file8->GetWavInfo()->GetSignedFlag(), 0U);
  EXPECT_EQ(file8->GetWavInfo()->GetDataLength(), 3U);
  EXPECT_EQ(file8->GetWavData()->GetBuffer()[2], 255);
  EXPECT_EQ(file8->GetFileSize(), std::filesystem::file_size(eight));
  EXPECT_EQ(file8->GetFileName(), eight);

  auto file16 = Open(sixteen);
  ASSERT_TRUE(file16);
  EXPECT_EQ(file16->GetWavInfo()->GetSignedFlag(), 1U);
  EXPECT_EQ(file16->GetWavInfo()->GetChannels(), 2);
  EXPECT_EQ(Samples16(*file16->GetWavData()), (std::vector<std::int16_t>{1, -2, 300, -400}));

  C_WavFileFormat registry;
  EXPECT_EQ(registry.DetectFormatType(sixteen), kFormatTypeWav);
  EXPECT_NE(registry.IsFormatType(2, sixteen), 0);
  EXPECT_EQ(registry.IsFormatType(1, sixteen), 0);
  EXPECT_EQ(registry.IsFormatType(45, sixteen), 0);
}

TEST(WavFileReadTest, OpenFileInfoReadsTheInfoWithoutSamples) {
  TempDir dir;
  const std::string path = WriteBytes(
      dir, "a.wav", PcmWave(1, 8000, 16, Pcm16Bytes(std::vector<std::int16_t>(4000, 7))));
  C_WavFileFormat registry;
  auto file = registry.OpenFileInfo(path);
  ASSERT_TRUE(file);
  EXPECT_EQ(file->GetWavInfo()->GetDurationMs(), 500U);
  EXPECT_EQ(file->GetWavInfo()->GetDataLength(), 8000U);
  EXPECT_EQ(file->GetWavData()->GetBuffer(), nullptr);
  // A container without its samples is not written.
  EXPECT_EQ(file->GetWavData()->SaveAs(kFormatTypeWav, dir.File("out.wav")), 0);
  EXPECT_FALSE(std::filesystem::exists(dir.File("out.wav")));
}

// Formats we cannot read raise a message naming the file. Among them are formats that, written
// back, would need a block align or byte rate wider than its field: a reader of the output would
// then see other frames than were written.
TEST(WavFileReadTest, UnsupportedFormatsAndOnesThatWouldOverflowOnWriteRaiseTheirMessages) {
  TempDir dir;
  struct Case {
    const char* name;
    std::vector<std::uint8_t> fmt;
    std::size_t dataBytes;
    std::string message;
  };
  const Case cases[] = {
      {"float16.wav", FmtBody(3, 1, 8000, 16), 4, "Unsupported wave format!"},
      // 20-bit PCM without the extensible format's valid bits.
      {"pcm20.wav", FmtBody(1, 1, 8000, 20, 3), 3, "Unsupported 20-bit PCM format!"},
      {"wide.wav", FmtBody(1, 65535, 8000, 16), 2, "Unsupported wave format!"},
      {"fast.wav", FmtBody(1, 2, 0x80000000U, 16), 4, "Unsupported wave format!"},
  };
  for (const Case& c : cases) {
    const std::string path =
        WriteBytes(dir, c.name,
                   RiffBuilder()
                       .Chunk("fmt ", c.fmt)
                       .Chunk("data", std::vector<std::uint8_t>(c.dataBytes, 0))
                       .Build());
    try {
      (void)Open(path);
      ADD_FAILURE() << "no load error for " << c.name;
    } catch (const std::runtime_error& e) {
      EXPECT_EQ(std::string(e.what()), c.message + "(" + path + ")");
    }
  }
  // The widest that fits: 32767 channels of two bytes, block align 65534.
  const std::string widest = WriteBytes(
      dir, "widest.wav",
      RiffBuilder().Chunk("fmt ", FmtBody(1, 32767, 8000, 16)).Chunk("data", {0, 0}).Build());
  EXPECT_TRUE(Open(widest));
}

TEST(WavFileReadTest, FilesThatCannotBeDescribedOrOfAnotherFormAreRefused) {
  TempDir dir;
  const std::vector<std::vector<std::uint8_t>> refused = {
      RiffBuilder().Chunk("data", {1, 2}).Build(),  // no "fmt "
      RiffBuilder()
          .Chunk("fmt ", {1, 0, 1, 0, 0x40, 0x1F, 0, 0})
          .Chunk("data", {1, 2})
          .Build(),  // short "fmt "
      RiffBuilder()
          .Chunk("fmt ", FmtBody(1, 0, 8000, 16))
          .Chunk("data", {1, 2})
          .Build(),  // 0 channels
      RiffBuilder("RIFF", "AVI ").Chunk("fmt ", FmtBody(1, 1, 8000, 16)).Build(),
      {'R', 'I', 'F', 'F', 4, 0, 0},  // a header cut short
  };
  for (std::size_t i = 0; i < refused.size(); ++i) {
    EXPECT_FALSE(Open(WriteBytes(dir, "r" + std::to_string(i) + ".wav", refused[i]))) << i;
  }
  EXPECT_FALSE(Open(dir.File("missing.wav")));
  EXPECT_FALSE(Open(dir.Path()));
}

// A "data" chunk may claim more bytes than the file has: the block holds what is there, so a
// 60-byte file cannot demand gigabytes.
TEST(WavFileReadTest, DataChunkRunningPastTheEndHoldsTheBytesThatAreThere) {
  TempDir dir;
  const auto bytes = RiffBuilder()
                         .Chunk("fmt ", FmtBody(1, 1, 8000, 16))
                         .Chunk("data", {1, 0, 2, 0, 3}, false, 0xFFFFFFF0)
                         .RiffSize(0xFFFFFFFF)
                         .Build();
  auto file = Open(WriteBytes(dir, "big.wav", bytes));
  ASSERT_TRUE(file);
  EXPECT_EQ(file->GetWavInfo()->GetDataLength(), 5U);
  EXPECT_EQ(file->GetWavData()->GetBuffer()[4], 3);  // the odd last byte stays
  EXPECT_EQ(file->GetWavInfo()->GetSampleFrames(), 2U);
}

TEST(WavFileReadTest, OverlongPathIsRefusedNotCut) {
  TempDir dir;
  const std::string path = WriteBytes(dir, "a.wav", PcmWave(1, 8000, 8, {1, 2}));
  C_WavFile file;
  EXPECT_EQ(file.ReadHeader(path + std::string(300, '/'), 1), 0);
}

TEST(WavDataTest, ChunkInfoKindsAndSaveAsWithoutClass) {
  auto data = MakeRef<C_WavData>();
  void* out = &data;
  EXPECT_EQ(data->GetChunkInfo(6, &out), 0);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(data->GetChunkInfo(kChunkInfoCue, &out), 1);
  EXPECT_EQ(out, &data->CueInfo());

  TempDir dir;
  data->SetFormat(8000, 0, 1, 16, 16, 1);
  data->AllocateBuffer(4);
  for (std::uint32_t type : {0U, 1U, 45U, 59U}) {
    EXPECT_EQ(data->SaveAs(type, dir.File("x.wav")), 0) << type;
  }
  EXPECT_TRUE(std::filesystem::is_empty(dir.Path()));
}

}  // namespace
