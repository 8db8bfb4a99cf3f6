// The time line's envelope against a direct minimum and maximum of the samples per column.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "analysis/RecordingEnvelope.h"
#include "analysis/RecordingScan.h"
#include "tests/support/RiffBuilder.h"
#if TONVALE_HAVE_SNDFILE
#include "tests/support/SndfileReader.h"
#endif

namespace {

// The direct envelope: every sample of every channel into the column its frame's time falls
// in, frame i of `frames` into column i * columns / frames; a column no frame falls in shows
// the frame at its left edge.
std::vector<EnvelopeRange> DirectColumns(const std::vector<float>& samples, std::size_t channels,
                                         std::uint64_t columns) {
  const std::uint64_t frames = samples.size() / channels;
  std::vector<EnvelopeRange> out(columns);
  std::vector<bool> hit(columns, false);
  auto take = [&](EnvelopeRange& range, std::uint64_t frame) {
    for (std::size_t c = 0; c < channels; ++c) {
      const float v = samples[frame * channels + c];
      range.low = std::min(range.low, v);
      range.high = std::max(range.high, v);
    }
  };
  for (std::uint64_t i = 0; i < frames; ++i) {
    const std::uint64_t column = i * columns / frames;
    take(out[column], i);
    hit[column] = true;
  }
  for (std::uint64_t c = 0; c < columns; ++c) {
    if (!hit[c]) {
      take(out[c], c * frames / columns);
    }
  }
  return out;
}

void ExpectSameColumns(const std::vector<EnvelopeRange>& got,
                       const std::vector<EnvelopeRange>& want) {
  ASSERT_EQ(got.size(), want.size());
  for (std::size_t c = 0; c < got.size(); ++c) {
    ASSERT_EQ(got[c].low, want[c].low) << "column " << c;
    ASSERT_EQ(got[c].high, want[c].high) << "column " << c;
  }
}

// Feeds `bytes` (whole frames of `frameBytes`) in blocks of the given sizes, round and round.
void AddInBlocks(RecordingEnvelope& envelope, const std::vector<std::uint8_t>& bytes,
                 std::size_t frameBytes, std::initializer_list<std::size_t> blocks) {
  const std::size_t frames = bytes.size() / frameBytes;
  std::size_t at = 0;
  for (std::size_t round = 0; at < frames; ++round) {
    const std::size_t n = std::min(*(blocks.begin() + round % blocks.size()), frames - at);
    envelope.Add(bytes.data() + at * frameBytes, n);
    at += n;
  }
}

// Three seconds of stereo 16-bit noise at 16 kHz: one frame per bucket, so every column holds
// exactly the frames whose time falls in it, at widths below and above the frame count; both
// channels count.
TEST(RecordingEnvelopeTest, MatchesADirectMinMaxOfTheSamplesPerColumn) {
  std::mt19937 random(25);
  std::uniform_int_distribution<int> sample(-32768, 32767);
  std::vector<std::int16_t> pcm(48000 * 2);
  for (auto& s : pcm) {
    s = static_cast<std::int16_t>(sample(random));
  }
  pcm[2 * 30001 + 1] = 32767;  // the right channel's peak alone
  std::vector<float> expected;
  expected.reserve(pcm.size());
  for (const std::int16_t s : pcm) {
    expected.push_back(static_cast<float>(s) / 32768.0F);
  }
  RecordingEnvelope envelope({SampleEncoding::Pcm16, 0}, 2, 48000);
  EXPECT_EQ(envelope.BucketFrames(), 1U);
  AddInBlocks(envelope, testsupport::Pcm16Bytes(pcm), 4, {1000, 7, 65536});
  EXPECT_EQ(envelope.FramesAdded(), 48000U);
  for (const std::uint32_t width : {1U, 640U, 1301U, 3840U, 100000U}) {
    SCOPED_TRACE(width);
    ExpectSameColumns(envelope.Columns(width), DirectColumns(expected, 2, width));
  }
  // Half read: the columns beyond hold nothing yet.
  RecordingEnvelope half({SampleEncoding::Pcm16, 0}, 2, 48000);
  half.Add(testsupport::Pcm16Bytes(pcm).data(), 24000);
  const std::vector<EnvelopeRange> columns = half.Columns(100);
  EXPECT_TRUE(columns[49].HasSamples());
  EXPECT_FALSE(columns[50].HasSamples());
}

// Longer than kMaxBuckets frames: buckets of several frames, and unsigned 8-bit samples around
// their middle value 128. With columns on bucket boundaries the direct envelope is matched
// exactly.
TEST(RecordingEnvelopeTest, BucketsOfSeveralFramesAndEightBitSamples) {
  const std::uint64_t frames = RecordingEnvelope::kMaxBuckets * 3;
  std::vector<std::uint8_t> bytes(frames);
  std::vector<float> expected(frames);
  std::mt19937 random(8);
  for (std::uint64_t i = 0; i < frames; ++i) {
    // Quiet but for a burst of full scale in the middle.
    const int v = i >= frames / 2 && i < frames / 2 + 50 ? static_cast<int>(i % 2) * 255
                                                         : 120 + static_cast<int>(random() % 17);
    bytes[i] = static_cast<std::uint8_t>(v);
    expected[i] = static_cast<float>(v - 128) / 128.0F;
  }
  RecordingEnvelope envelope({SampleEncoding::Pcm8, 0}, 1, frames);
  EXPECT_EQ(envelope.BucketFrames(), 3U);
  AddInBlocks(envelope, bytes, 1, {65536, 5});
  EXPECT_EQ(envelope.Buckets().size(), RecordingEnvelope::kMaxBuckets);
  ExpectSameColumns(envelope.Columns(512), DirectColumns(expected, 1, 512));
  const std::vector<EnvelopeRange> columns = envelope.Columns(512);
  EXPECT_EQ(columns[256].low, -1.0F);
  EXPECT_EQ(columns[256].high, 127.0F / 128.0F);
  EXPECT_GT(columns[255].low, -0.07F);
}

#if TONVALE_HAVE_SNDFILE
// A FLAC file (through libsndfile): the envelope of the file as the window reads it against the
// samples as libsndfile itself reads them.
TEST(RecordingEnvelopeFileTest, AFlacFileAsTheIndependentReaderReadsIt) {
  const std::string path = std::string(TEST_DATA_DIR) + "/format-flac16-sox.flac";
  RecordingEnvelope envelope;
  std::string error;
  ASSERT_TRUE(ScanRecording(
      path, 0, UINT64_MAX,
      [&envelope](const RecordingLayout& layout) {
        envelope = RecordingEnvelope(layout.format, layout.channels, layout.frames);
        return true;
      },
      [&envelope](const std::uint8_t* frames, std::size_t count) { envelope.Add(frames, count); },
      {}, error))
      << error;
  const testsupport::SndfileRead expected = testsupport::ReadWithSndfile(path);
  ASSERT_TRUE(expected.ok);
  std::vector<float> samples;
  for (const auto s : expected.samples) {
    samples.push_back(static_cast<float>(s) / 32768.0F);
  }
  const auto channels = static_cast<std::size_t>(expected.info.channels);
  ASSERT_EQ(envelope.FramesAdded(), samples.size() / channels);
  ASSERT_EQ(envelope.BucketFrames(), 1U);
  ExpectSameColumns(envelope.Columns(700), DirectColumns(samples, channels, 700));
}
#endif

}  // namespace
