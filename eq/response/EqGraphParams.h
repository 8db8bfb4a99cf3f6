#pragma once

#include <cstdint>

/// What the response graph shows and how large it is.
struct EqGraphParams {
  double sampleRate = 0.0;         ///< Hz
  std::uint32_t width = 0;         ///< pixels; also the number of response points
  std::uint32_t height = 0;        ///< pixels
  std::uint16_t freqAxisMode = 0;  ///< 0 = logarithmic frequency axis, 1 = linear
  double minFreq = 0.0;            ///< Hz at the left edge
  double maxFreq = 0.0;            ///< Hz at the right edge
  double topDb = 0.0;              ///< dB at the top edge
  double bottomDb = 0.0;           ///< dB at the bottom edge
};

/// The response of one section at one frequency.
struct ResponsePoint {
  double real = 0.0;
  double imag = 0.0;
  double magnitude = 0.0;
  double magnitudeDb = 0.0;
  double phase = 0.0;  ///< radians
  double phaseDegrees = 0.0;
};

/// Where an enabled bell band is drawn: at (centFreq, gain).
struct BandMarker {
  double gain = 0.0;      ///< dB
  double centFreq = 0.0;  ///< Hz
  double x = 0.0;         ///< pixels
  double y = 0.0;         ///< pixels
};
