#include "eq/SampleIo.h"

#include <cmath>

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
  return static_cast<std::int16_t>(y);  // truncation toward zero
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

std::int32_t ToSignedInteger(double y, unsigned bits) {
  const auto limit = static_cast<double>(std::int64_t{1} << (bits - 1));
  if (std::isnan(y)) {
    return 0;
  }
  if (y > limit - 1.0) {
    return static_cast<std::int32_t>(limit - 1.0);
  }
  if (y < -limit) {
    return static_cast<std::int32_t>(-limit);
  }
  return static_cast<std::int32_t>(y);  // truncation toward zero
}
