#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

#include "eq/filter/PcmFilter.h"

/// The lowest and highest sample of a stretch of a recording, full scale 1.0. A stretch that
/// holds no sample has low above high.
struct EnvelopeRange {
  float low = std::numeric_limits<float>::infinity();
  float high = -std::numeric_limits<float>::infinity();

  bool HasSamples() const { return low <= high; }
};

/// A recording's envelope for a time line: the lowest and highest sample of every channel, per
/// bucket of a fixed number of frames chosen from the recording's length so that the whole
/// recording takes at most kMaxBuckets buckets (8 bytes each, 512 KiB in all, whatever its
/// length). It is filled a block at a time as the recording is read front to back, so that an
/// hour-long recording is never held whole.
class RecordingEnvelope {
 public:
  /// Buckets for the whole recording: enough that a column of any screen covers several.
  static constexpr std::uint64_t kMaxBuckets = 65536;

  RecordingEnvelope() = default;
  /// For a recording of `frames` frames (as its header states them) of `channels` channels
  /// of `format`; the bucket is ceil(frames / kMaxBuckets) frames, at least 1.
  RecordingEnvelope(SampleFormat format, std::uint16_t channels, std::uint64_t frames);

  /// Takes the next `count` interleaved frames at `frames`, in the recording's encoding.
  void Add(const std::uint8_t* frames, std::size_t count);

  std::uint64_t BucketFrames() const { return m_bucketFrames; }
  /// Frames taken so far.
  std::uint64_t FramesAdded() const { return m_added; }
  /// The frames the columns span: the stated length, or what was added when that is more.
  std::uint64_t SpanFrames() const { return std::max(m_statedFrames, m_added); }
  const std::vector<EnvelopeRange>& Buckets() const { return m_buckets; }

  /// The envelope over `columns` columns of equal time across SpanFrames: bucket b of the
  /// B = ceil(SpanFrames / BucketFrames) buckets belongs to column floor(b * columns / B) (at a
  /// bucket of one frame: frame i to column floor(i * columns / SpanFrames)). A column that no
  /// bucket belongs to (more columns than buckets) shows the bucket it lies in,
  /// floor(column * B / columns); a column beyond the frames added so far holds no sample.
  std::vector<EnvelopeRange> Columns(std::uint32_t columns) const;

 private:
  SampleFormat m_format;
  std::uint16_t m_channels = 0;
  std::uint64_t m_statedFrames = 0;
  std::uint64_t m_bucketFrames = 1;
  std::uint64_t m_added = 0;
  std::vector<EnvelopeRange> m_buckets;
};
