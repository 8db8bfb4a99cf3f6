#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

// The conversions at the edge of every filtering pass: a stored sample into the double the
// filters see, and a filtered double back into a stored sample. Each pass (plain or wavefront)
// uses exactly these, so that all of them give the same bits.
//
// Samples enter the chain as the values they hold, without scaling: integers as the signed
// integer of their container (8-bit samples as (s - 128) * 256), floating-point samples as
// they are, a value that is not finite as 0 (one bad sample would otherwise turn the filter
// states into NaN and silence the rest of the channel). Back from the chain, integers are
// limited to their container's range and truncated toward zero, with the low bits a narrower
// valid width leaves unused cleared; floats are rounded to their width and never limited; a
// value that is not a number becomes 0 everywhere, and is counted as out of range.

/// A 16-bit sample as the value the filters see: its exact value.
inline double FromPcm16(std::int16_t s) { return static_cast<double>(s); }

/// An unsigned 8-bit sample as the value the filters see: (s - 128) * 256, -32768 .. 32512.
inline double FromPcm8(std::uint8_t s) {
  return static_cast<double>((static_cast<int>(s) - 128) * 256);
}

/// A filtered value as a 16-bit sample: truncated toward zero, saturated to -32768 .. 32767;
/// a value that is not a number gives 0.
inline std::int16_t ToPcm16(double y) {
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

/// A filtered value as an unsigned 8-bit sample: t = trunc(y + 0.49) limited to
/// -32768 .. 32767, then floor(t / 256) + 128; a value that is not a number gives 128.
inline std::uint8_t ToPcm8(double y) {
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

/// A filtered value as a signed integer of `bits` (2 to 32): above 2^(bits-1) - 1 the maximum,
/// below -2^(bits-1) the minimum, else truncated toward zero; not a number gives 0.
inline std::int32_t ToSignedInteger(double y, unsigned bits) {
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

/// How the values the filters gave back were limited, counted while they are stored. A value
/// that is not a number left every range: it counts as clipped and makes the peak infinite.
struct ClipStats {
  std::uint64_t clipped = 0;  ///< values the limits changed (floats: magnitude above 1.0)
  double peak = 0.0;  ///< largest magnitude before limiting, in the value's own scale; may be inf
  double fullScale = 1.0;  ///< the magnitude `peak` is measured against (0 dBFS)

  /// Keeps the magnitude of `y` when it is the largest so far; a NaN as infinity. Written as a
  /// comparison: std::fmax is a library call in the kernels' inner loop.
  void NotePeak(double y) {
    const double magnitude = std::fabs(y);
    if (!(magnitude <= peak)) {
      peak = std::isnan(magnitude) ? HUGE_VAL : magnitude;
    }
  }
  void Add(const ClipStats& other) {
    clipped += other.clipped;
    peak = std::fmax(peak, other.peak);
  }
  /// The peak in dB relative to full scale.
  double PeakDbfs() const { return 20.0 * std::log10(peak / fullScale); }
};

/// A packed little-endian 24-bit sample.
struct Int24 {
  std::uint8_t bytes[3];
};
static_assert(sizeof(Int24) == 3, "24-bit samples are packed");

// The conversions of each sample type, written once for every pass. Each keeps the limits
// statistics of the values it stores; `mask` clears the low bits a narrower valid width leaves
// unused (all ones for a full-width container).

struct Pcm16Io {
  using Sample = std::int16_t;
  std::int32_t mask = -1;
  ClipStats stats{0, 0.0, 32768.0};
  double In(Sample s) const { return FromPcm16(s); }
  Sample Out(double y) {
    stats.NotePeak(y);
    stats.clipped += !(y <= 32767.0 && y >= -32768.0) ? 1 : 0;
    return static_cast<Sample>(ToPcm16(y) & mask);
  }
};

struct Pcm8Io {
  using Sample = std::uint8_t;
  std::uint8_t mask = 0xFF;
  ClipStats stats{0, 0.0, 32768.0};  // the 8-bit path works on the 16-bit scale
  double In(Sample s) const { return FromPcm8(s); }
  Sample Out(double y) {
    stats.NotePeak(y);
    stats.clipped += !(y <= 32767.0 && y >= -32768.0) ? 1 : 0;
    return static_cast<Sample>(ToPcm8(y) & mask);
  }
};

struct Pcm24Io {
  using Sample = Int24;
  std::int32_t mask = -1;
  ClipStats stats{0, 0.0, 8388608.0};
  double In(Sample s) const {
    const std::uint32_t raw = static_cast<std::uint32_t>(s.bytes[0]) |
                              static_cast<std::uint32_t>(s.bytes[1]) << 8 |
                              static_cast<std::uint32_t>(s.bytes[2]) << 16;
    // Sign-extended from bit 23.
    return static_cast<double>(static_cast<std::int32_t>(raw << 8) >> 8);
  }
  Sample Out(double y) {
    stats.NotePeak(y);
    stats.clipped += !(y <= 8388607.0 && y >= -8388608.0) ? 1 : 0;
    const auto v = static_cast<std::uint32_t>(ToSignedInteger(y, 24) & mask);
    return Sample{{static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
                   static_cast<std::uint8_t>(v >> 16)}};
  }
};

struct Pcm32Io {
  using Sample = std::int32_t;
  std::int32_t mask = -1;
  ClipStats stats{0, 0.0, 2147483648.0};
  double In(Sample s) const { return static_cast<double>(s); }
  Sample Out(double y) {
    stats.NotePeak(y);
    stats.clipped += !(y <= 2147483647.0 && y >= -2147483648.0) ? 1 : 0;
    return ToSignedInteger(y, 32) & mask;
  }
};

struct Float32Io {
  using Sample = float;
  ClipStats stats{0, 0.0, 1.0};
  double In(Sample s) const { return std::isfinite(s) ? static_cast<double>(s) : 0.0; }
  Sample Out(double y) {
    stats.NotePeak(y);
    stats.clipped += !(std::fabs(y) <= 1.0) ? 1 : 0;
    return std::isnan(y) ? 0.0F : static_cast<float>(y);
  }
};

struct Float64Io {
  using Sample = double;
  ClipStats stats{0, 0.0, 1.0};
  double In(Sample s) const { return std::isfinite(s) ? s : 0.0; }
  Sample Out(double y) {
    stats.NotePeak(y);
    stats.clipped += !(std::fabs(y) <= 1.0) ? 1 : 0;
    return std::isnan(y) ? 0.0 : y;
  }
};

/// The values y[0, count) as integers limited to [low, high] (both integers) and truncated
/// toward zero, a value that is not a number as 0, with the peak and the count of values the
/// limits changed (and of values that are not a number) noted in `stats`: exactly what the
/// per-sample conversions do, a vector of values at a time where the compiler has vectors.
inline void LimitToIntegers(const double* y, std::int32_t* out, std::size_t count, double low,
                            double high, ClipStats& stats) {
  std::size_t i = 0;
#if defined(__GNUC__)
  // Two values per step, one SSE2 vector: wider generic vectors measured slower, being split
  // or converted one value at a time where the build's target lacks them.
  constexpr std::size_t kWidth = 2;
  typedef double D __attribute__((vector_size(8 * kWidth)));
  typedef long long M __attribute__((vector_size(8 * kWidth)));
  typedef std::int32_t I __attribute__((vector_size(4 * kWidth)));
  const D lo = D{} + low;
  const D hi = D{} + high;
  const D zero = D{};
  const D infinite = D{} + HUGE_VAL;
  D peak = D{} + stats.peak;
  M changed = M{};
  for (; i + kWidth <= count; i += kWidth) {
    D v;
    std::memcpy(&v, y + i, sizeof v);
    const M isNumber = v == v;
    D magnitude = v < zero ? -v : v;
    magnitude = isNumber ? magnitude : infinite;  // not a number: beyond every limit
    peak = magnitude > peak ? magnitude : peak;
    D limited = v > hi ? hi : v;
    limited = limited < lo ? lo : limited;
    changed -= limited != v;  // -1 where the limits change the value, or it is not a number
    limited = isNumber ? limited : zero;
    const I integers = __builtin_convertvector(limited, I);  // truncation toward zero
    std::memcpy(out + i, &integers, sizeof integers);
  }
  for (std::size_t lane = 0; lane < kWidth; ++lane) {
    stats.NotePeak(peak[lane]);
    stats.clipped += static_cast<std::uint64_t>(changed[lane]);
  }
#endif
  for (; i < count; ++i) {
    const double v = y[i];
    stats.NotePeak(v);
    stats.clipped += !(v <= high && v >= low) ? 1 : 0;
    if (std::isnan(v)) {
      out[i] = 0;
    } else {
      out[i] = static_cast<std::int32_t>(v > high ? high : (v < low ? low : v));
    }
  }
}

/// Stores the filtered values y[0, count) at at[0], at[stride], ... through `io`: one Out() per
/// value, or for the integer formats the same results a chunk at a time.
template <typename Io>
void StoreOutputs(Io& io, const double* y, typename Io::Sample* at, std::size_t count,
                  std::size_t stride) {
  for (std::size_t i = 0; i < count; ++i) {
    at[i * stride] = io.Out(y[i]);
  }
}

namespace sample_io_detail {
template <typename Io, typename Store>
void StoreLimited(Io& io, const double* y, std::size_t count, double low, double high,
                  Store store) {
  constexpr std::size_t kPiece = 256;
  std::int32_t integers[kPiece];
  for (std::size_t done = 0; done < count; done += kPiece) {
    const std::size_t n = count - done < kPiece ? count - done : kPiece;
    LimitToIntegers(y + done, integers, n, low, high, io.stats);
    for (std::size_t i = 0; i < n; ++i) {
      store(done + i, integers[i] & io.mask);
    }
  }
}
}  // namespace sample_io_detail

inline void StoreOutputs(Pcm16Io& io, const double* y, Pcm16Io::Sample* at, std::size_t count,
                         std::size_t stride) {
  sample_io_detail::StoreLimited(io, y, count, -32768.0, 32767.0,
                                 [at, stride](std::size_t i, std::int32_t v) {
                                   at[i * stride] = static_cast<std::int16_t>(v);
                                 });
}
inline void StoreOutputs(Pcm24Io& io, const double* y, Pcm24Io::Sample* at, std::size_t count,
                         std::size_t stride) {
  sample_io_detail::StoreLimited(
      io, y, count, -8388608.0, 8388607.0, [at, stride](std::size_t i, std::int32_t value) {
        const auto v = static_cast<std::uint32_t>(value);
        at[i * stride] = Int24{{static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
                                static_cast<std::uint8_t>(v >> 16)}};
      });
}
inline void StoreOutputs(Pcm32Io& io, const double* y, Pcm32Io::Sample* at, std::size_t count,
                         std::size_t stride) {
  sample_io_detail::StoreLimited(
      io, y, count, -2147483648.0, 2147483647.0,
      [at, stride](std::size_t i, std::int32_t v) { at[i * stride] = v; });
}
