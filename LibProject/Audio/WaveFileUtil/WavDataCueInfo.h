#pragma once

#include <cstdint>
#include <map>
#include <span>
#include <vector>

/// A sample position at `fromRate` Hz as the position of the same instant at `toRate` Hz,
/// rounded to nearest (halves up) and limited to 32 bits.
inline std::uint32_t ScaleSamplePosition(std::uint32_t position, std::uint32_t fromRate,
                                         std::uint32_t toRate) {
  if (fromRate == 0) {
    return position;
  }
  const std::uint64_t scaled =
      (2 * std::uint64_t{position} * toRate + fromRate) / (2 * std::uint64_t{fromRate});
  return scaled > 0xFFFFFFFFULL ? 0xFFFFFFFFU : static_cast<std::uint32_t>(scaled);
}

/// The cue points of a "cue " chunk.
class C_WavDataCueInfo {
 public:
  /// One cue point: 24 bytes in the chunk.
  struct C_CuePoint {
    std::uint32_t id = 0;
    std::uint32_t position = 0;  ///< sample position
    char chunkId[4] = {'d', 'a', 't', 'a'};
    std::uint32_t chunkStart = 0;
    std::uint32_t blockStart = 0;
    std::uint32_t sampleOffset = 0;
  };

  /// Reads the count and as many points as the chunk holds (never more than its bytes). A
  /// repeated id indexes the later point. Always succeeds.
  bool Read(std::span<const std::uint8_t> chunk);
  /// The chunk data: the count, then 24 bytes per point.
  std::vector<std::uint8_t> Render() const;

  /// Adds a point, or overwrites the point that has its id.
  void AddCuePoint(const C_CuePoint& point);
  /// The point with `id`, or null.
  const C_CuePoint* Find(std::uint32_t id) const;
  const std::vector<C_CuePoint>& Points() const { return m_points; }
  /// Moves every point's position and sample offset from `fromRate` Hz to the same instant at
  /// `toRate` Hz (a conversion that changes the rate).
  void ScaleToRate(std::uint32_t fromRate, std::uint32_t toRate);
  void Clear();

 private:
  std::vector<C_CuePoint> m_points;
  std::map<std::uint32_t, std::size_t> m_index;
};
