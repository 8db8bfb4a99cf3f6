// Reading a stretch of a recording a block at a time.
#include <gtest/gtest.h>

#include <cstdint>
#include <stop_token>
#include <string>
#include <vector>

#include "analysis/RecordingEnvelope.h"
#include "analysis/RecordingScan.h"
#include "tests/support/RiffBuilder.h"
#include "tests/support/TestSupport.h"

namespace {

class RecordingScanTest : public ::testing::Test {
 protected:
  // A stereo 16-bit file of `frames` frames whose samples count up, and its samples.
  std::string Write(const std::string& name, std::size_t frames) {
    m_samples.resize(frames * 2);
    for (std::size_t i = 0; i < m_samples.size(); ++i) {
      m_samples[i] = static_cast<std::int16_t>((i * 37) % 65536 - 32768);
    }
    testsupport::WriteFile(m_dir.File(name),
                           testsupport::PcmWave(2, 8000, 16, testsupport::Pcm16Bytes(m_samples)));
    return m_dir.File(name);
  }

  testsupport::TempDir m_dir;
  std::vector<std::int16_t> m_samples;
};

// A stretch read from the file holds exactly its frames, across the reader's blocks; the
// layout is the file's; a stretch at the end holds what there is.
TEST_F(RecordingScanTest, AStretchHoldsExactlyItsFrames) {
  const std::string path = Write("count.wav", 200000);
  std::string error;
  const auto slice = ReadRecordingSlice(path, 65000, 70000, {}, error);
  ASSERT_TRUE(slice) << error;
  EXPECT_EQ(slice->channels, 2);
  EXPECT_EQ(slice->sampleRate, 8000.0);
  EXPECT_EQ(slice->totalSeconds, 25.0);
  const std::vector<std::uint8_t> want = testsupport::Pcm16Bytes(
      std::vector<std::int16_t>(m_samples.begin() + 130000, m_samples.begin() + 270000));
  EXPECT_EQ(slice->bytes, want);
  EXPECT_EQ(ReadRecordingSlice(path, 199990, 70000, {}, error)->Frames(), 10U);
  EXPECT_EQ(ReadRecordingSlice(path, 300000, 10, {}, error)->Frames(), 0U);

  // The whole file through the envelope, as the window reads it.
  RecordingEnvelope envelope;
  ASSERT_TRUE(ScanRecording(
      path, 0, UINT64_MAX,
      [&envelope](const RecordingLayout& layout) {
        EXPECT_EQ(layout.frames, 200000U);
        envelope = RecordingEnvelope(layout.format, layout.channels, layout.frames);
        return true;
      },
      [&envelope](const std::uint8_t* frames, std::size_t count) { envelope.Add(frames, count); },
      {}, error));
  EXPECT_EQ(envelope.FramesAdded(), 200000U);
}

// A stop asked for ends the scan between blocks, with a reason; a file that is not there says
// why.
TEST_F(RecordingScanTest, AStopEndsTheScan) {
  const std::string path = Write("long.wav", 400000);
  std::stop_source stop;
  std::size_t blocks = 0;
  std::string error;
  EXPECT_FALSE(ScanRecording(
      path, 0, UINT64_MAX, [](const RecordingLayout&) { return true; },
      [&](const std::uint8_t*, std::size_t) {
        if (++blocks == 2) {
          stop.request_stop();
        }
      },
      stop.get_token(), error));
  EXPECT_EQ(error, "the reading was stopped");
  EXPECT_EQ(blocks, 2U);
  EXPECT_FALSE(ReadRecordingSlice(m_dir.File("missing.wav"), 0, 10, {}, error));
  EXPECT_FALSE(error.empty());
}

}  // namespace
