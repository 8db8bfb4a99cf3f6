#pragma once

#include <cstdint>
#include <span>

namespace delivery {

/// An output encoding the delivery can set.
enum class SampleDepth : std::uint8_t { Int16, Int24, Int32, Float32 };

/// The bits of one sample of `depth` (16, 24, 32, 32).
unsigned DepthBits(SampleDepth depth);

/// Whether writing a source of `sourceBits` (integer, or floating point when `sourceFloat`) as
/// `target` reduces its depth, which is when dither belongs: an integer target narrower than an
/// integer source, or any integer target for a floating-point source. A float target, or an
/// integer target as wide as the source or wider, reduces nothing.
bool DepthIsReduced(unsigned sourceBits, bool sourceFloat, SampleDepth target);

/// PCG32 (O'Neill's permuted congruential generator, XSH RR 64/32): 32-bit values from a 64-bit
/// state, the same sequence on every platform and standard library.
class Pcg32 {
 public:
  /// Seeded as the generator's reference does (pcg32_srandom_r): `sequence` picks one of 2^63
  /// streams, `seed` the start in it.
  Pcg32(std::uint64_t seed, std::uint64_t sequence);
  std::uint32_t Next();

 private:
  std::uint64_t m_state = 0;
  std::uint64_t m_increment = 0;
};

/// Triangular (TPDF) dither of +-1 LSB: the sum of two independent values uniform in
/// (-0.5, 0.5) LSB, from a Pcg32 of a fixed seed, so that the same samples get the same dither
/// on every run and platform.
class TpdfDither {
 public:
  /// The fixed seed and stream: those of the generator's reference example.
  static constexpr std::uint64_t kSeed = 42;
  static constexpr std::uint64_t kSequence = 54;

  TpdfDither() : m_random(kSeed, kSequence) {}
  /// The next dither value, LSB, in (-1, 1); every value is a multiple of 2^-33, exact.
  double Next();

 private:
  Pcg32 m_random;
};

/// Turns doubles of full scale 1.0 into samples of one depth, stream by stream. Integers are
/// x * 2^(bits-1), plus TPDF dither when on, rounded to the nearest integer (halves away from
/// zero), then limited to -2^(bits-1) .. 2^(bits-1)-1. Float32 rounds to the nearest float and
/// is never limited or dithered. A value that is not a number gives 0 (no dither), as in the
/// filtering pass. One dither stream runs through all the samples in order, so that the result
/// does not depend on how the stream is cut into blocks.
class Quantizer {
 public:
  /// `dither`: TPDF dither on the integer depths; pass DepthIsReduced(...) (and false when the
  /// user turned dither off). Float32 ignores it.
  Quantizer(SampleDepth depth, bool dither);

  /// Integer depths: the samples of `in` as signed integers of the depth, into `out` (as long
  /// as `in`).
  void ToInteger(std::span<const double> in, std::span<std::int32_t> out);

  /// Float32: the samples of `in` as floats, into `out` (as long as `in`).
  void ToFloat(std::span<const double> in, std::span<float> out);

  /// Samples so far that the limits changed (integers) or of magnitude above 1.0 (Float32,
  /// which keeps them), as the filtering pass counts clipping.
  std::uint64_t Clipped() const { return m_clipped; }

  SampleDepth Depth() const { return m_depth; }
  bool Dithered() const { return m_dither; }

 private:
  SampleDepth m_depth;
  bool m_dither;
  double m_scale;    // 2^(bits-1)
  double m_maximum;  // 2^(bits-1) - 1
  TpdfDither m_tpdf;
  std::uint64_t m_clipped = 0;
};

}  // namespace delivery
