#pragma once

#include <cstddef>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "eq/band/EqBand.h"

namespace testsupport {

/// Up to 11 bands of random types and values for a sample rate of `fs` Hz, some disabled, some
/// that the design leaves out: the tables the kernels are checked over.
EqBandTable RandomBandTable(std::mt19937& rng, double fs);

/// A small speech setup: a 24 dB high-pass at 120 Hz (stop 60 Hz) and a +6 dB bell at 3 kHz.
EqBandTable SpeechBands();

/// A settings file whose EQ index 0 holds `count` enabled bells of 1 dB and Q 1 at 100, 101, ...
/// Hz, as the program writes it.
std::string ManyBellsSettings(int count);

/// `count` samples of uniform noise within +-`limit`, the same for the same seed.
std::vector<std::int16_t> NoiseSamples(std::size_t count, unsigned seed, int limit = 12000);

}  // namespace testsupport
