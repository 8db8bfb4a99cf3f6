#pragma once

#include <cstdint>
#include <map>
#include <span>
#include <vector>

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
  void Clear();

 private:
  std::vector<C_CuePoint> m_points;
  std::map<std::uint32_t, std::size_t> m_index;
};
