#include "LibProject/Audio/WaveFileUtil/WavInfo.h"

#include <gtest/gtest.h>

namespace {

TEST(WavInfoTest, StereoSixteenBitNumbers) {
  C_WavInfo info;
  info.SetFormat(16000, 64000, 2, 16, 16, 1);
  EXPECT_EQ(info.GetSampleFrames(), 16000U);
  EXPECT_EQ(info.GetDurationMs(), 1000U);
  EXPECT_EQ(info.GetBytesPerSample(), 2);
  EXPECT_EQ(info.GetBlockAlign(), 4);
  EXPECT_EQ(info.GetBytesPerSecond(), 64000U);
  std::uint8_t format[16];
  info.GetWaveFormat(format);
  const std::uint8_t expected[16] = {1, 0, 2, 0, 0x80, 0x3E, 0, 0, 0x00, 0xFA, 0, 0, 4, 0, 16, 0};
  for (int i = 0; i < 16; ++i) EXPECT_EQ(format[i], expected[i]) << i;
}

TEST(WavInfoTest, DurationDropsTheFractionAndDegenerateRecordsGiveZero) {
  C_WavInfo info;
  info.SetFormat(8000, 12345, 1, 8, 8, 0);
  EXPECT_EQ(info.GetSampleFrames(), 12345U);
  EXPECT_EQ(info.GetDurationMs(), 1543U);

  info.SetFormat(8000, 1000, 1, 12, 16, 1);
  EXPECT_EQ(info.GetBytesPerSample(), 2);  // from the 16 bits of storage

  info.SetFormat(8000, 1000, 0, 16, 16, 1);
  EXPECT_EQ(info.GetSampleFrames(), 0U);
  EXPECT_EQ(info.GetDurationMs(), 0U);
  info.SetFormat(8000, 1000, 1, 16, 0, 1);
  EXPECT_EQ(info.GetSampleFrames(), 0U);
  info.SetFormat(0, 1000, 1, 16, 16, 1);
  EXPECT_EQ(info.GetDurationMs(), 0U);
}

// The frame count is worked out in 64 bits: 512 MiB of 8-bit data times 8 would wrap in 32 and
// give a duration near zero.
TEST(WavInfoTest, LargeDataKeepsItsDuration) {
  C_WavInfo info;
  info.SetFormat(8000, 0x20000000U, 1, 8, 8, 0);
  EXPECT_EQ(info.GetSampleFrames(), 0x20000000U);
  EXPECT_EQ(info.GetDurationMs(), 67108864U);  // 536870912 / 8000 * 1000
  info.SetFormat(44100, 0xFFFFFFF0U, 2, 16, 16, 1);
  EXPECT_EQ(info.GetSampleFrames(), 1073741820U);
  EXPECT_EQ(info.GetDurationMs(), 24347887U);
}

}  // namespace
