#pragma once
// The plain filtering pass's pieces, shared by the whole-buffer pass and the streamed one: the
// section arithmetic every kernel keeps, and one channel through the chain a block at a time.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>

#include "eq/design/FilterChain.h"
#include "eq/filter/PcmFilter.h"

// One direct-form-II section, the same arithmetic for every section of every filter:
//   w = (x - w1 a1) - w2 a2
//   y = (w b0 + w1 b1) + w2 b2
//   w2 = w1, w1 = w
inline double RunSection(const BiquadCoefs& c, BiquadState& s, double x) {
  const double w = (x - s.w1 * c.a1) - s.w2 * c.a2;
  const double y = (w * c.b0 + s.w1 * c.b1) + s.w2 * c.b2;
  s.w2 = s.w1;
  s.w1 = w;
  return y;
}

using PlainBlock = std::array<double, kFilterBlock>;

// Runs n values through every entry of the chain: each filter reads the input array, writes
// the output array, and the output becomes the next filter's input.
inline void RunChain(FilterChain& chain, PlainBlock& input, PlainBlock& output, std::uint16_t n) {
  for (FilterEntry& entry : chain.entries) {
    if (entry.bell) {
      RunBellFilter(*entry.bell, input.data(), output.data(), n);
      std::copy_n(output.begin(), n, input.begin());
    }
    if (entry.highLow) {
      RunHighLowFilter(*entry.highLow, input.data(), output.data(), n);
      std::copy_n(output.begin(), n, input.begin());
    }
  }
}

// `count` values of one channel, `stride` apart from `position` on, through the chain from its
// present states, in blocks of kFilterBlock values.
template <typename Io>
void RunPlainChannel(Io& io, typename Io::Sample* position, std::size_t count, std::size_t stride,
                     FilterChain& chain) {
  PlainBlock input{};
  PlainBlock output{};
  std::size_t remaining = count;
  while (remaining > 0) {
    const auto n = static_cast<std::uint16_t>(std::min<std::size_t>(remaining, kFilterBlock));
    for (std::size_t i = 0; i < n; ++i) {
      const double x = io.In(position[i * stride]);
      input[i] = x;
      output[i] = x;
    }
    RunChain(chain, input, output, n);
    for (std::size_t i = 0; i < n; ++i) {
      position[i * stride] = io.Out(output[i]);
    }
    position += n * stride;
    remaining -= n;
  }
}
