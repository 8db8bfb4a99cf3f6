#include "Quantizer.h"

#include <cassert>
#include <cmath>

namespace delivery {

unsigned DepthBits(SampleDepth depth) {
  switch (depth) {
    case SampleDepth::Int16: return 16;
    case SampleDepth::Int24: return 24;
    case SampleDepth::Int32:
    case SampleDepth::Float32: return 32;
  }
  return 0;
}

bool DepthIsReduced(unsigned sourceBits, bool sourceFloat, SampleDepth target) {
  if (target == SampleDepth::Float32) {
    return false;
  }
  return sourceFloat || sourceBits > DepthBits(target);
}

Pcg32::Pcg32(std::uint64_t seed, std::uint64_t sequence) : m_increment((sequence << 1U) | 1U) {
  Next();
  m_state += seed;
  Next();
}

std::uint32_t Pcg32::Next() {
  // The state steps by the 64-bit LCG of multiplier 6364136223846793005; the output is the old
  // state's xorshifted high bits, rotated by its top five bits.
  const std::uint64_t old = m_state;
  m_state = old * 6364136223846793005ULL + m_increment;
  const auto xorshifted = static_cast<std::uint32_t>(((old >> 18U) ^ old) >> 27U);
  const auto rotation = static_cast<std::uint32_t>(old >> 59U);
  return (xorshifted >> rotation) | (xorshifted << ((0U - rotation) & 31U));
}

double TpdfDither::Next() {
  // (k + 1/2) / 2^32 - 1/2 for k in 0 .. 2^32-1: uniform over (-0.5, 0.5), symmetric about 0,
  // exact in a double; so is the sum of two.
  const double first = (static_cast<double>(m_random.Next()) + 0.5) * 0x1p-32 - 0.5;
  const double second = (static_cast<double>(m_random.Next()) + 0.5) * 0x1p-32 - 0.5;
  return first + second;
}

Quantizer::Quantizer(SampleDepth depth, bool dither)
    : m_depth(depth),
      m_dither(dither && depth != SampleDepth::Float32),
      m_scale(std::ldexp(1.0, static_cast<int>(DepthBits(depth)) - 1)),
      m_maximum(m_scale - 1.0) {}

void Quantizer::ToInteger(std::span<const double> in, std::span<std::int32_t> out) {
  assert(m_depth != SampleDepth::Float32);
  assert(out.size() >= in.size());
  const double minimum = -m_scale;
  for (std::size_t i = 0; i < in.size(); ++i) {
    const double x = in[i];
    if (std::isnan(x)) {
      out[i] = 0;
      continue;
    }
    // Scaling by a power of two is exact; the dither is added in one rounding.
    double y = x * m_scale;
    if (m_dither) {
      y = y + m_tpdf.Next();
    }
    y = std::round(y);
    if (y > m_maximum) {
      y = m_maximum;
      ++m_clipped;
    } else if (y < minimum) {
      y = minimum;
      ++m_clipped;
    }
    out[i] = static_cast<std::int32_t>(y);
  }
}

void Quantizer::ToFloat(std::span<const double> in, std::span<float> out) {
  assert(m_depth == SampleDepth::Float32);
  assert(out.size() >= in.size());
  for (std::size_t i = 0; i < in.size(); ++i) {
    const double x = in[i];
    if (std::isnan(x)) {
      out[i] = 0.0F;
      continue;
    }
    if (std::fabs(x) > 1.0) {
      ++m_clipped;
    }
    out[i] = static_cast<float>(x);
  }
}

}  // namespace delivery
