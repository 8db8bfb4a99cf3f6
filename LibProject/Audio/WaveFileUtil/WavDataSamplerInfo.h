#pragma once

#include <cstdint>
#include <span>
#include <vector>

/// The header and loops of a "smpl" chunk.
class C_WavDataSamplerInfo {
 public:
  struct C_Loop {
    std::uint32_t cueId = 0;
    std::uint32_t type = 0;
    std::uint32_t start = 0;
    std::uint32_t end = 0;
    std::uint32_t fraction = 0;
    std::uint32_t playCount = 0;
  };

  /// Reads the 36-byte header and the loops the chunk really holds. Always succeeds.
  bool Read(std::span<const std::uint8_t> chunk);
  /// The chunk data: the header with the loop count of the loops held, the loops, and the
  /// sampler data as zeros, no more of it than the source chunk really had.
  std::vector<std::uint8_t> Render() const;

  const std::vector<C_Loop>& Loops() const { return m_loops; }
  /// Moves the loops' start and end from `fromRate` Hz to the same instants at `toRate` Hz and
  /// states the new rate's sample period (a conversion that changes the rate).
  void ScaleToRate(std::uint32_t fromRate, std::uint32_t toRate);
  void AddLoop(const C_Loop& loop) { m_loops.push_back(loop); }
  /// The nine header fields: manufacturer, product, sample period, unity note, pitch fraction,
  /// time-code format, time-code offset, loop count, sampler-data size.
  std::uint32_t header[9] = {};

 private:
  std::vector<C_Loop> m_loops;
  std::uint32_t m_samplerDataAvailable = 0;
};
