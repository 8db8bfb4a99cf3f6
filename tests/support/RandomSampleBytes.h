#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "eq/filter/PcmFilter.h"

namespace testsupport {

/// `count` random samples of `encoding` as stored: integers random over their whole range,
/// floats within +-1.3 (past full scale) with a not-a-number and infinities of both signs here
/// and there.
inline std::vector<std::uint8_t> RandomSampleBytes(SampleEncoding encoding, std::size_t count,
                                                   std::mt19937& rng) {
  const std::size_t width = SampleBytes(encoding);
  std::vector<std::uint8_t> bytes(count * width);
  if (encoding != SampleEncoding::Float32 && encoding != SampleEncoding::Float64) {
    std::uniform_int_distribution<int> byte(0, 255);
    for (auto& b : bytes) b = static_cast<std::uint8_t>(byte(rng));
    return bytes;
  }
  std::uniform_real_distribution<double> value(-1.3, 1.3);
  for (std::size_t i = 0; i < count; ++i) {
    double v = value(rng);
    if (i % 97 == 5) v = std::numeric_limits<double>::quiet_NaN();
    if (i % 89 == 7) v = (i % 2 ? 1 : -1) * std::numeric_limits<double>::infinity();
    const auto f = static_cast<float>(v);
    std::memcpy(&bytes[i * width], width == 4 ? static_cast<const void*>(&f) : &v, width);
  }
  return bytes;
}

}  // namespace testsupport
