#include "eq/PcmFilter.h"

#include "eq/WavefrontFilter.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace {

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

void ResetStates(FilterChain& chain) {
  for (FilterEntry& entry : chain.entries) {
    if (entry.bell) {
      entry.bell->state = BiquadState{};
    }
    if (entry.highLow) {
      std::fill(entry.highLow->states.begin(), entry.highLow->states.end(), BiquadState{});
    }
  }
}

using Block = std::array<double, kFilterBlock>;

// Runs n values through every entry of the chain: each filter reads the input array, writes
// the output array, and the output becomes the next filter's input.
void RunChain(FilterChain& chain, Block& input, Block& output, std::uint16_t n) {
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

// The filtering pass shared by both sample widths: each channel in turn, from zeroed states,
// in blocks of kFilterBlock values gathered from its interleaved positions.
template <typename Sample, typename In, typename Out>
int FilterInterleaved(Sample* samples, std::uint32_t count, FilterChain& chain,
                      std::uint16_t channels, In toDouble, Out fromDouble) {
  Block input{};
  Block output{};
  ResetStates(chain);
  if (count == 0) {
    return 1;
  }
  const std::size_t stride = std::max<std::uint16_t>(channels, 1);
  for (std::size_t channel = 0; channel < stride && channel < count; ++channel) {
    if (channel > 0) {
      ResetStates(chain);
    }
    std::size_t remaining = (count - channel + stride - 1) / stride;
    Sample* position = samples + channel;
    while (remaining > 0) {
      const auto n = static_cast<std::uint16_t>(std::min<std::size_t>(remaining, kFilterBlock));
      for (std::size_t i = 0; i < n; ++i) {
        const double x = toDouble(position[i * stride]);
        input[i] = x;
        output[i] = x;
      }
      RunChain(chain, input, output, n);
      for (std::size_t i = 0; i < n; ++i) {
        position[i * stride] = fromDouble(output[i]);
      }
      position += n * stride;
      remaining -= n;
    }
  }
  return 1;
}

}  // namespace

void RunBellFilter(BellFilter& bell, const double* in, double* out, std::uint16_t count) {
  for (std::uint16_t i = 0; i < count; ++i) {
    out[i] = RunSection(bell.coefs, bell.state, in[i]);
  }
}

void RunHighLowFilter(HighLowFilter& filter, const double* in, double* out, std::uint16_t count) {
  const std::size_t sections = filter.coefs.size();
  for (std::uint16_t i = 0; i < count; ++i) {
    double x = in[i];
    for (std::size_t k = 0; k < sections; ++k) {
      x = RunSection(filter.coefs[k], filter.states[k], x);
    }
    out[i] = x;
  }
}

std::int16_t ToPcm16(double y) {
  if (std::isnan(y)) {
    return 0;
  }
  if (y > 32767.0) {
    return 32767;
  }
  if (y < -32768.0) {
    return -32768;
  }
  return static_cast<std::int16_t>(y);
}

std::uint8_t ToPcm8(double y) {
  const double v = y + 0.49;
  int t = 0;
  if (std::isnan(v)) {
    t = 0;
  } else if (v > 32767.0) {
    t = 32767;  // trunc(v) would be 32767 or more: the limit
  } else if (v < -32768.0) {
    t = -32768;
  } else {
    t = static_cast<int>(v);
  }
  // floor(t / 256) is an arithmetic shift right by 8; t / 256 rounded down, written portably.
  const int high = (t >= 0) ? t / 256 : -((-t + 255) / 256);
  return static_cast<std::uint8_t>(high + 128);
}

int FilterPcm16Plain(std::int16_t* samples, std::uint32_t count, FilterChain& chain,
                     std::uint16_t channels) {
  return FilterInterleaved(samples, count, chain, channels, FromPcm16, ToPcm16);
}

int FilterPcm8Plain(std::uint8_t* samples, std::uint32_t count, FilterChain& chain,
                    std::uint16_t channels) {
  return FilterInterleaved(samples, count, chain, channels, FromPcm8, ToPcm8);
}

int FilterPcm16(std::int16_t* samples, std::uint32_t count, FilterChain& chain,
                std::uint16_t channels) {
  return FilterPcm16With(BestFilterKernel(), samples, count, chain, channels);
}

int FilterPcm8(std::uint8_t* samples, std::uint32_t count, FilterChain& chain,
               std::uint16_t channels) {
  return FilterPcm8With(BestFilterKernel(), samples, count, chain, channels);
}
