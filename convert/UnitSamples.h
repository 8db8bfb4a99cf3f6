#pragma once

#include <cstddef>
#include <cstdint>

#include "eq/filter/PcmFilter.h"

/// `count` stored samples of `encoding` at `bytes` (little-endian, packed) as doubles of full
/// scale 1.0, into `out`: signed integers divided by 2^(bits-1), unsigned 8-bit samples as
/// (s - 128) / 128, floats as they are.
void DecodeUnitSamples(SampleEncoding encoding, const std::uint8_t* bytes, std::size_t count,
                       double* out);
