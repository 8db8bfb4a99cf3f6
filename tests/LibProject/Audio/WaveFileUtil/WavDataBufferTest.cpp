// The sample block and converted copies, byte for byte: the layout other programs read.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "LibProject/Audio/WaveFileUtil/WavData.h"

namespace {

T_RefPtr<C_WavData> Container(std::uint16_t channels, std::uint16_t bits,
                              const std::vector<std::uint8_t>& bytes) {
  auto data = MakeRef<C_WavData>();
  data->SetFormat(8000, 0, channels, bits, bits, bits > 8 ? 1 : 0);
  data->SetBufferCopy(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
  return data;
}

std::vector<std::uint8_t> BytesOf(I_WavData& data) {
  return std::vector<std::uint8_t>(data.GetBuffer(), data.GetBuffer() + data.GetDataLength());
}

TEST(WavDataBufferTest, SixteenBitSamplesAreSignedLittleEndianInterleaved) {
  auto data = Container(2, 16, {0x34, 0x12, 0xFF, 0xFF, 0x00, 0x80, 0xFF, 0x7F});
  C_WavDataBuffer& buffer = data->GetSampleBuffer();
  EXPECT_EQ(buffer.GetSample(0, 0), 0x1234);
  EXPECT_EQ(buffer.GetSample(0, 1), -1);
  EXPECT_EQ(buffer.GetSample(1, 0), -32768);
  EXPECT_EQ(buffer.GetSample(1, 1), 32767);
  EXPECT_EQ(buffer.GetSample(2, 0), 0);  // beyond the block
  buffer.SetSample(1, -2, 1);
  buffer.SetSample(0, 0x4321, 0);
  buffer.SetSample(2, 5, 0);  // beyond the block: nothing
  EXPECT_EQ(BytesOf(*data),
            (std::vector<std::uint8_t>{0x21, 0x43, 0xFF, 0xFF, 0x00, 0x80, 0xFE, 0xFF}));
}

TEST(WavDataBufferTest, EightBitSamplesAreUnsignedAroundTheirMiddle) {
  auto data = Container(1, 8, {0x00, 0x80, 0xFF, 0x7F});
  C_WavDataBuffer& buffer = data->GetSampleBuffer();
  EXPECT_EQ(buffer.GetSample(0, 0), -128);
  EXPECT_EQ(buffer.GetSample(1, 0), 0);
  EXPECT_EQ(buffer.GetSample(2, 0), 127);
  EXPECT_EQ(buffer.GetSample(3, 0), -1);
  buffer.SetSample(0, -1, 0);
  buffer.SetSample(1, 100, 0);
  EXPECT_EQ(BytesOf(*data), (std::vector<std::uint8_t>{0x7F, 0xE4, 0xFF, 0x7F}));
}

TEST(WavDataBufferTest, PeakCoversFramesBeforeTheEndAndTheChannelsAsked) {
  // Frames: (1, -7), (-3, 2), (30000, -30001), (0, 0).
  auto data =
      Container(2, 16, {1, 0, 0xF9, 0xFF, 0xFD, 0xFF, 2, 0, 0x30, 0x75, 0xCF, 0x8A, 0, 0, 0, 0});
  const C_WavDataBuffer& buffer = data->GetSampleBuffer();
  EXPECT_EQ(buffer.GetPeak(0, 2, 0, 0), 3);
  EXPECT_EQ(buffer.GetPeak(0, 2, 0, 1), 7);
  EXPECT_EQ(buffer.GetPeak(0, 3, 1, 1), 30001);
  EXPECT_EQ(buffer.GetPeak(2, 2, 0, 1), 0);   // an empty range
  EXPECT_EQ(buffer.GetPeak(0, 4, 0, 1), -1);  // the end frame must lie below the frame count
  EXPECT_EQ(buffer.GetPeak(0, 2, 0, 2), -1);  // so must the last channel below the channels
}

TEST(WavDataBufferTest, ConvertedCopiesScaleBetweenWidthsAndKeepTheChannelLayout) {
  // 8-bit unsigned to 16-bit signed: shifted up by 8 bits.
  auto eight = Container(1, 8, {0x00, 0x80, 0xFF});
  auto widened = eight->CreateConvertedCopy(16, 16, 1);
  ASSERT_TRUE(widened);
  EXPECT_EQ(BytesOf(*widened), (std::vector<std::uint8_t>{0x00, 0x80, 0x00, 0x00, 0x00, 0x7F}));
  EXPECT_EQ(widened->GetWavInfo()->GetBitsPerSample(), 16);

  // 16-bit to 8-bit, stereo: divided by 256 toward zero, made unsigned, frames kept in order.
  auto sixteen =
      Container(2, 16, {0x00, 0x80, 0xFF, 0xFF, 0x00, 0x00, 0xFF, 0x00, 0xFF, 0x7F, 0x00, 0xFF});
  auto narrowed = sixteen->CreateConvertedCopy(8, 8, 0);
  ASSERT_TRUE(narrowed);
  // -32768, -1, 0, 255, 32767, -256 give -128, 0, 0, 0, 127, -1.
  EXPECT_EQ(BytesOf(*narrowed), (std::vector<std::uint8_t>{0x00, 0x80, 0x80, 0x80, 0xFF, 0x7F}));
  EXPECT_EQ(narrowed->GetWavInfo()->GetChannels(), 2);
  EXPECT_EQ(narrowed->GetWavInfo()->GetSampleFrames(), 3U);

  // 16-bit to 32-bit: shifted up by 16 bits.
  auto wide = Container(1, 16, {0x01, 0x00, 0xFF, 0xFF})->CreateConvertedCopy(32, 32, 1);
  ASSERT_TRUE(wide);
  EXPECT_EQ(BytesOf(*wide), (std::vector<std::uint8_t>{0, 0, 1, 0, 0, 0, 0xFF, 0xFF}));

  // A storage width that is not whole bytes cannot be converted.
  EXPECT_FALSE(Container(1, 16, {0, 0})->CreateConvertedCopy(12, 12, 1));
}

}  // namespace
