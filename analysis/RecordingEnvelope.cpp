// A recording's envelope for the window's time line.
#include "analysis/RecordingEnvelope.h"

#include <algorithm>

#include "analysis/RecordingReader.h"

RecordingEnvelope::RecordingEnvelope(SampleFormat format, std::uint16_t channels,
                                     std::uint64_t frames)
    : m_format(format),
      m_channels(channels),
      m_statedFrames(frames),
      m_bucketFrames(std::max<std::uint64_t>(1, (frames + kMaxBuckets - 1) / kMaxBuckets)) {
  m_buckets.reserve(static_cast<std::size_t>((frames + m_bucketFrames - 1) / m_bucketFrames));
}

void RecordingEnvelope::Add(const std::uint8_t* frames, std::size_t count) {
  const std::size_t sampleBytes = SampleBytes(m_format.encoding);
  const std::size_t frameBytes = sampleBytes * m_channels;
  for (std::size_t f = 0; f < count;) {
    if (m_added % m_bucketFrames == 0) {
      m_buckets.emplace_back();
    }
    // The frames of this call that fall into the current bucket.
    const std::size_t run = static_cast<std::size_t>(
        std::min<std::uint64_t>(count - f, m_bucketFrames - m_added % m_bucketFrames));
    EnvelopeRange& bucket = m_buckets.back();
    const std::uint8_t* p = frames + f * frameBytes;
    for (std::size_t i = 0; i < run * m_channels; ++i, p += sampleBytes) {
      const float v = SampleAsFloat(m_format.encoding, p);
      bucket.low = std::min(bucket.low, v);
      bucket.high = std::max(bucket.high, v);
    }
    f += run;
    m_added += run;
  }
}

std::vector<EnvelopeRange> RecordingEnvelope::Columns(std::uint32_t columns) const {
  std::vector<EnvelopeRange> out(columns);
  const std::uint64_t span = SpanFrames();
  if (columns == 0 || span == 0) {
    return out;
  }
  const std::uint64_t buckets = (span + m_bucketFrames - 1) / m_bucketFrames;
  const std::uint64_t w = columns;
  for (std::uint64_t c = 0; c < w; ++c) {
    // Bucket b belongs to column c when c <= b * w / buckets < c + 1.
    std::uint64_t first = (c * buckets + w - 1) / w;
    std::uint64_t end = ((c + 1) * buckets + w - 1) / w;
    if (first == end) {
      first = c * buckets / w;
      end = first + 1;
    }
    EnvelopeRange& column = out[static_cast<std::size_t>(c)];
    for (std::uint64_t b = first; b < end && b < m_buckets.size(); ++b) {
      const EnvelopeRange& bucket = m_buckets[static_cast<std::size_t>(b)];
      column.low = std::min(column.low, bucket.low);
      column.high = std::max(column.high, bucket.high);
    }
  }
  return out;
}
