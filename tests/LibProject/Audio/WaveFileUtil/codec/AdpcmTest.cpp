#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "LibProject/Audio/WaveFileUtil/codec/DVIADPCMCodec.h"
#include "LibProject/Audio/WaveFileUtil/codec/MSADPCMEncDec.h"
#include "tests/LibProject/Audio/WaveFileUtil/WaveTestUtil.h"

namespace {

using namespace testsupport;

std::vector<std::int16_t> ReadRaw16(const std::string& path) {
  const std::string bytes = ReadFile(path);
  std::vector<std::int16_t> samples(bytes.size() / 2);
  for (std::size_t i = 0; i < samples.size(); ++i) {
    samples[i] = static_cast<std::int16_t>(static_cast<std::uint8_t>(bytes[2 * i]) |
                                           (static_cast<std::uint8_t>(bytes[2 * i + 1]) << 8));
  }
  return samples;
}

// Files made by sox and ffmpeg; the expected PCM is sox's own decode (tests/data/make-fixtures.sh).
TEST(AdpcmTest, DecodesOutsideEncodersFilesLikeSox) {
  struct Fixture {
    const char* name;
    std::uint32_t codec;
    std::uint16_t channels;
  };
  for (const Fixture& f : {Fixture{"ima-mono-sox", 6, 1}, Fixture{"ima-stereo-sox", 6, 2},
                           Fixture{"ima-mono-ffmpeg", 6, 1}, Fixture{"ima-stereo-partial", 6, 2},
                           Fixture{"ms-mono-sox", 3, 1}, Fixture{"ms-stereo-sox", 3, 2},
                           Fixture{"ms-stereo-ffmpeg", 3, 2}, Fixture{"ms-mono-partial", 3, 1}}) {
    const std::string base = std::string(TEST_DATA_DIR) + "/" + f.name;
    auto file = Open(base + ".wav");
    ASSERT_TRUE(file) << f.name;
    EXPECT_EQ(file->GetCodecType(), f.codec) << f.name;
    const I_WavInfo& info = *file->GetWavInfo();
    EXPECT_EQ(info.GetBitsPerSample(), 16) << f.name;
    EXPECT_EQ(info.GetStorageBits(), 16) << f.name;
    EXPECT_EQ(info.GetSignedFlag(), 1U) << f.name;
    EXPECT_EQ(info.GetChannels(), f.channels) << f.name;
    const auto expected = ReadRaw16(base + ".sox.raw");
    const auto decoded = Samples16(*file->GetWavData());
    ASSERT_EQ(decoded.size(), expected.size()) << f.name;
    for (std::size_t i = 0; i < expected.size(); ++i) {
      ASSERT_EQ(decoded[i], expected[i]) << f.name << " sample " << i;
    }
  }
}

TEST(AdpcmTest, ImaBlockWorkedByHand) {
  // Mono block of 8 bytes: first sample 0, step index 0, then codes 7, 9 and seven zeros.
  // 7: diff 0 + 7 + 3 + 1 = 11, index 8 (step 16); 9: -(2 + 4) = 5, index 7 (step 14);
  // each 0 adds step >> 3 = 1 while the index falls.
  const std::vector<std::uint8_t> block = {0, 0, 0, 0, 0x97, 0, 0, 0};
  std::vector<std::int16_t> out(9);
  ASSERT_EQ(C_DVIADPCMCodec::DecodeBlock(block.data(), block.size(), 1, 9, out.data()), 9U);
  EXPECT_EQ(out, (std::vector<std::int16_t>{0, 11, 5, 6, 7, 8, 9, 10, 11}));
  // A step index beyond the table is clamped to its last entry, 32767.
  const std::vector<std::uint8_t> wild = {0, 0, 200, 0, 0x04, 0, 0, 0};
  ASSERT_EQ(C_DVIADPCMCodec::DecodeBlock(wild.data(), wild.size(), 1, 2, out.data()), 2U);
  EXPECT_EQ(out[1], 32767);  // 4095 + 32767, limited
}

TEST(AdpcmTest, MsBlockWorkedByHand) {
  // Predictor 0 (256, 0), delta 16, newer sample 100, older 50; codes 1 and -1.
  const std::vector<std::uint8_t> block = {0, 16, 0, 100, 0, 50, 0, 0x1F};
  const std::vector<std::int16_t> coefs = {256, 0,   512, -256, 0,    0,   192,
                                           64,  240, 0,   460,  -208, 392, -232};
  std::vector<std::int16_t> out(4);
  ASSERT_EQ(C_MSADPCMEncDec::DecodeBlock(block.data(), block.size(), 1, 4, coefs, out.data()), 4U);
  EXPECT_EQ(out, (std::vector<std::int16_t>{50, 100, 116, 100}));
  // A predictor index beyond the pairs uses the last pair; extreme values stay defined.
  const std::vector<std::uint8_t> wild = {255, 0xFF, 0x7F, 0x00, 0x80, 0xFF, 0x7F, 0x77, 0x77};
  const std::vector<std::int16_t> big = {-32768, -32768, -32768, -32768, -32768, -32768, -32768,
                                         -32768, -32768, -32768, -32768, -32768, -32768, -32768};
  out.resize(6);
  ASSERT_EQ(C_MSADPCMEncDec::DecodeBlock(wild.data(), wild.size(), 1, 6, big, out.data()), 6U);
}

std::vector<std::uint8_t> ImaFmt(std::uint16_t channels, std::uint16_t blockAlign,
                                 std::uint16_t spb) {
  auto fmt = FmtBody(17, channels, 8000, 4, blockAlign, 4000);
  Put16(fmt, 2);
  Put16(fmt, spb);
  return fmt;
}

std::vector<std::uint8_t> MsFmt(std::uint16_t channels, std::uint16_t blockAlign, std::uint16_t spb,
                                std::uint16_t pairs, std::uint16_t pairsStored) {
  auto fmt = FmtBody(2, channels, 8000, 4, blockAlign, 4000);
  Put16(fmt, static_cast<std::uint16_t>(4 + 4 * pairsStored));
  Put16(fmt, spb);
  Put16(fmt, pairs);
  for (std::uint16_t i = 0; i < pairsStored; ++i) {
    Put16(fmt, 256);
    Put16(fmt, 0);
  }
  return fmt;
}

// A file of the given "fmt " body and `data`, opened through the registry.
T_RefPtr<I_WavFile> OpenAdpcm(const TempDir& dir, const std::vector<std::uint8_t>& fmt,
                              const std::vector<std::uint8_t>& data) {
  static int files = 0;
  const auto bytes = RiffBuilder().Chunk("fmt ", fmt).Chunk("data", data).Build();
  return Open(WriteBytes(dir, std::to_string(files++) + ".wav", bytes));
}

TEST(AdpcmTest, ImpossibleBlockLayoutsAreRefused) {
  TempDir dir;
  const std::vector<std::uint8_t> data(64, 0x11);
  const std::vector<std::vector<std::uint8_t>> refused = {
      ImaFmt(1, 0, 1),           // block align 0
      ImaFmt(2, 7, 1),           // smaller than two 4-byte headers
      ImaFmt(1, 8, 10),          // 8 bytes hold 9 samples, not 10
      ImaFmt(3, 64, 1),          // more than two channels
      MsFmt(1, 6, 2, 7, 7),      // smaller than the 7-byte header
      MsFmt(1, 16, 21, 7, 7),    // 16 bytes hold 20 samples
      MsFmt(1, 16, 20, 6, 6),    // fewer than 7 coefficient pairs
      MsFmt(1, 16, 20, 257, 7),  // more than 256
      MsFmt(1, 16, 20, 9, 7),    // more pairs than the chunk holds
  };
  for (std::size_t i = 0; i < refused.size(); ++i) {
    EXPECT_FALSE(OpenAdpcm(dir, refused[i], data)) << i;
  }
  EXPECT_TRUE(OpenAdpcm(dir, MsFmt(1, 16, 20, 7, 7), data));
}

TEST(AdpcmTest, PartialLastBlockGivesWhatItsBytesHold) {
  TempDir dir;
  // The bytes of 16-bit samples decoded from `dataBytes` bytes of zero codes.
  auto decodedBytes = [&dir](const std::vector<std::uint8_t>& fmt, std::size_t dataBytes) {
    auto file = OpenAdpcm(dir, fmt, std::vector<std::uint8_t>(dataBytes, 0));
    EXPECT_TRUE(file);
    return file ? file->GetWavInfo()->GetDataLength() : 0xFFFFFFFFU;
  };
  // IMA mono, block align 8 (9 samples): two full blocks and 6 bytes: header and 2 bytes of
  // codes give 1 + 4 samples per the bytes there; 3 bytes (shorter than the header) give none.
  EXPECT_EQ(decodedBytes(ImaFmt(1, 8, 9), 16 + 6), 2U * (9 + 9 + 5));
  EXPECT_EQ(decodedBytes(ImaFmt(1, 8, 9), 16 + 3), 2U * 18);
  // Found by fuzzing: data shorter than one block header decodes to nothing, cleanly.
  EXPECT_EQ(decodedBytes(ImaFmt(1, 8, 9), 3), 0U);
  // MS mono, block align 16 (20 samples): 10 bytes more give 2 + 2 x 3 samples.
  EXPECT_EQ(decodedBytes(MsFmt(1, 16, 20, 7, 7), 32 + 10), 2U * (20 + 20 + 8));
}

}  // namespace
