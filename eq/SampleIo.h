#pragma once

#include <cstdint>

// The conversions at the edge of every filtering pass: a stored sample into the double the
// filters see, and a filtered double back into a stored sample. Each pass (plain or wavefront)
// uses exactly these, so that all of them give the same bits.

/// A 16-bit sample as the value the filters see: its exact value.
inline double FromPcm16(std::int16_t s) { return static_cast<double>(s); }

/// An unsigned 8-bit sample as the value the filters see: (s - 128) * 256, -32768 .. 32512.
inline double FromPcm8(std::uint8_t s) {
  return static_cast<double>((static_cast<int>(s) - 128) * 256);
}

/// A filtered value as a 16-bit sample: truncated toward zero, saturated to -32768 .. 32767;
/// a value that is not a number gives 0.
std::int16_t ToPcm16(double y);

/// A filtered value as an unsigned 8-bit sample: t = trunc(y + 0.49) limited to
/// -32768 .. 32767, then floor(t / 256) + 128; a value that is not a number gives 128.
std::uint8_t ToPcm8(double y);

/// The conversions of one sample type, for the passes that are written once for every type.
struct Pcm16Io {
  using Sample = std::int16_t;
  static double In(Sample s) { return FromPcm16(s); }
  static Sample Out(double y) { return ToPcm16(y); }
};

struct Pcm8Io {
  using Sample = std::uint8_t;
  static double In(Sample s) { return FromPcm8(s); }
  static Sample Out(double y) { return ToPcm8(y); }
};
