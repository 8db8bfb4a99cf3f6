#pragma once

#include <span>

#include "eq/design/Biquad.h"

/// What can be wrong with a band's designed sections, taken as the filtering pass runs them:
/// direct form II in double precision, a0 taken as 1.
enum class SectionFault {
  None,
  /// A pole on or outside the unit circle that no zero of the same section cancels: the output
  /// grows without bound.
  Unstable,
  /// The cascade's magnitude rises more than kResponseMarginDb above what the band is meant to
  /// reach anywhere: the design went numerically wrong.
  ResponseTooHigh,
  /// A leading part of the cascade amplifies some frequency by more than kMaxCascadeGainDb. The
  /// rounding noise of every later step is then amplified as much, and the output drowns in it:
  /// a 275th-order high-pass at 80 Hz writes full-scale noise although each section is stable.
  Imprecise,
};

/// How far above its nominal maximum a band's response may rise before it counts as wrong, dB.
inline constexpr double kResponseMarginDb = 1.0;

/// The largest gain, dB, that a leading part of a cascade may have at any frequency. Measured
/// against a long-double reference, the rounding noise of a cascade reaches about -60 dB
/// relative to its input at this gain (about -114 dB at 137 dB, -45 dB at 208 dB): at this
/// point, about the 137th Butterworth order whatever the cut-off, the output is unusable.
inline constexpr double kMaxCascadeGainDb = 190.0;

/// The result of CheckSections: the fault and the value that gave it away (the peak response
/// or the peak gain of a leading part, dB; 0 for an unstable section).
struct SectionCheckResult {
  SectionFault fault = SectionFault::None;
  double valueDb = 0.0;
};

/// Checks the designed `sections` of one band at `sampleRate` Hz whose response is meant never
/// to pass `nominalMaxDb` (a bell's gain when it boosts, else 0 dB). The magnitudes are
/// evaluated on a logarithmic grid from `bandFreq` / 10 (or fs / 10^6 if lower) to fs / 2 in a
/// form that keeps its precision near 0 Hz.
SectionCheckResult CheckSections(std::span<const BiquadCoefs> sections, double nominalMaxDb,
                                 double sampleRate, double bandFreq);
