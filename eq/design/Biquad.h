#pragma once

// Bit-exactness: the design, filtering and response arithmetic of this engine reproduces an
// existing equalizer's output bit for bit, and every output file depends on it. The rules:
// - IEEE 754 double precision, every step evaluated in the order and with the brackets the code
//   shows: (x - w1 a1) - w2 a2 is not x - (w1 a1 + w2 a2). Reassociating, hoisting a common
//   factor or "simplifying" a sum changes the last bits of coefficients and samples.
// - No contraction of a * b + c into a fused multiply-add: every target builds with
//   -ffp-contract=off (/fp:precise on MSVC) and never with -ffast-math or -march=native.
// - The odd constants are deliberate: the bell's pi is 3.1415926536, the Butterworth design's
//   2 pi and pi are 6.2831852 and 3.1415926, the response curve's pi is the full value; and the
//   Butterworth corner is taken over the sample rate rounded to single precision.
// - Conversions from double to integer truncate toward zero.
// The tests pin these down against hand-worked values and against the plain pass.

/// Coefficients of one second-order section,
///   H(z) = (b0 + b1 z^-1 + b2 z^-2) / (a0 + a1 z^-1 + a2 z^-2).
/// Every design normalises a0 to 1; the response evaluation reads a0, the sample filters do not.
struct BiquadCoefs {
  double b0 = 0.0;
  double b1 = 0.0;
  double b2 = 0.0;
  double a0 = 0.0;
  double a1 = 0.0;
  double a2 = 0.0;
};

/// Running state of one direct-form-II section: w1 and w2 are its two delay values. w0 is
/// zeroed with the others and otherwise unused.
struct BiquadState {
  double w0 = 0.0;
  double w1 = 0.0;
  double w2 = 0.0;
};
