#pragma once

// A deliberately naive equalizer for the tests: the design equations and the direct-form-II
// recursion transcribed one statement at a time from their description, run one sample at a
// time over each channel, and the rules by which a filtered value becomes a stored sample. The
// program's own design and filtering passes are checked against it bit for bit.
#include <cstdint>
#include <vector>

#include "eq/band/EqBand.h"

namespace testsupport::naive {

struct RefSection {
  double b0, b1, b2, a1, a2;
  double w1 = 0, w2 = 0;
  double Run(double x);
};

/// The sections of every band the design keeps at `fs` Hz, in running order.
std::vector<RefSection> RefDesign(const EqBandTable& table, double fs);

/// `x` (interleaved, `channels` channels) run through the bands, each channel from zero.
std::vector<double> RefRun(const EqBandTable& table, double fs, std::vector<double> x,
                           int channels);

/// A filtered value as a stored 16-bit or 8-bit sample.
std::int16_t RefTo16(double y);
std::uint8_t RefTo8(double y);

/// A filtered value as a stored signed integer of `bits`: limited to its range, truncated
/// toward zero, the low bits below `validBits` cleared (0: all valid); not a number gives 0.
std::int64_t RefToInteger(double y, int bits, int validBits = 0);

}  // namespace testsupport::naive
