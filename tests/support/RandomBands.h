#pragma once

#include <random>

#include "eq/EqBand.h"

namespace testsupport {

/// Up to 11 bands of random types and values for a sample rate of `fs` Hz, some disabled, some
/// that the design leaves out: the tables the kernels are checked over.
EqBandTable RandomBandTable(std::mt19937& rng, double fs);

}  // namespace testsupport
