#pragma once

#include <cstdint>

#include "eq/response/EqGraphParams.h"

namespace testsupport {

/// The response graph of the shipped configuration at 16000 Hz: 10 Hz to 8 kHz on a
/// logarithmic axis, +-`rangeDb` dB, `width` x `height` pixels.
inline EqGraphParams SpeechGraph(std::uint32_t width = 800, std::uint32_t height = 320,
                                 double rangeDb = 30) {
  EqGraphParams params;
  params.sampleRate = 16000;
  params.width = width;
  params.height = height;
  params.minFreq = 10;
  params.maxFreq = 8000;
  params.topDb = rangeDb;
  params.bottomDb = -rangeDb;
  return params;
}

}  // namespace testsupport
