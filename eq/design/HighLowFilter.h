#pragma once

#include <cstdint>
#include <vector>

#include "eq/design/Biquad.h"

/// Design kinds of a Butterworth cascade.
inline constexpr std::uint16_t kDesignLowPass = 0;
inline constexpr std::uint16_t kDesignHighPass = 1;

/// The designed form of one high-pass or low-pass band: a Butterworth cascade of order N as
/// S = (N + 1) / 2 second-order sections, the first-order section of an odd order first.
struct HighLowFilter {
  double sampleRate = 0.0;          ///< Hz
  std::uint16_t order = 0;          ///< N
  std::uint16_t sectionCount = 0;   ///< S = (N + 1) / 2
  std::uint16_t kind = 0;           ///< kDesignLowPass or kDesignHighPass
  double cutoffFreq = 0.0;          ///< Hz, the -3 dB corner
  double u = 0.0;                   ///< cutoffFreq over the single-precision sample rate
  double K = 0.0;                   ///< prewarped tan(pi u)
  std::vector<BiquadCoefs> coefs;   ///< S sets, section 0 first
  std::vector<BiquadState> states;  ///< S sets, in the same order
};

/// Designs the cascade into `filter` by the bilinear transform with frequency prewarping and
/// sizes its coefficient and state sets to (order + 1) / 2 sections. The states are zeroed.
/// Returns 1.
int DesignHighLowFilter(HighLowFilter& filter, std::uint16_t kind, std::uint16_t order,
                        double cutoffFreq, double sampleRate);
