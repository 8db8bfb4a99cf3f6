#pragma once

#include <cstdint>

#include "eq/design/Biquad.h"

/// The designed form of one bell (peaking) band: one second-order section.
struct BellFilter {
  double sampleRate = 0.0;         ///< Hz
  std::uint16_t sectionCount = 1;  ///< always 1
  double centFreq = 0.0;           ///< Hz
  double gain = 0.0;               ///< dB, boost (>= 0) or cut
  double qual = 0.0;               ///< Q
  BiquadCoefs coefs;
  BiquadState state;
};

/// Designs a peaking section with the gain applied symmetrically for boost and cut (a cut of
/// -G dB is the exact inverse of a boost of +G dB), at `sampleRate` Hz.
BellFilter DesignBellFilter(double centFreq, double gain, double qual, double sampleRate);
