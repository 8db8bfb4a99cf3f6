#pragma once

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
