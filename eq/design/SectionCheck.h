#pragma once

#include <cstdint>
#include <span>

#include "eq/band/EqBand.h"
#include "eq/design/Biquad.h"

/// What can be wrong with a band's designed sections, taken as the filtering pass runs them:
/// direct form II in double precision, a0 taken as 1.
enum class SectionFault {
  None,
  /// A pole on or outside the unit circle that no zero of the same section cancels: the output
  /// grows without bound.
  Unstable,
  /// The cascade's magnitude rises above the band's ideal response somewhere by more than
  /// kResponseMarginDb of the ideal's peak: the design went numerically wrong.
  ResponseTooHigh,
  /// A leading part of the cascade amplifies some frequency by more than kMaxCascadeGainDb. The
  /// rounding noise of every later step is then amplified as much, and the output drowns in it:
  /// a 275th-order high-pass at 80 Hz writes full-scale noise although each section is stable.
  Imprecise,
};

/// How far a band's designed response may rise above its ideal response before it counts as
/// wrong: at any frequency, by (10^(kResponseMarginDb / 20) - 1), about 12 %, of the ideal's
/// peak magnitude. Sound designs stay far inside it: bells, shelves and notches of 0.5 Hz to
/// half the rate at 8 to 192 kHz, Q 0.05 to 300 and +-40 dB depart from their ideal by at most
/// 0.03 % of its peak (a 40 dB shelf of Q 100 at 0.5 Hz and 176.4 kHz).
inline constexpr double kResponseMarginDb = 1.0;

/// The largest gain, dB, that a leading part of a cascade may have at any frequency. Measured
/// against a long-double reference, the rounding noise of a cascade reaches about -60 dB
/// relative to its input at this gain (about -114 dB at 137 dB, -45 dB at 208 dB): at this
/// point, about the 137th Butterworth order whatever the cut-off, the output is unusable.
inline constexpr double kMaxCascadeGainDb = 190.0;

/// The response a band is designed to have, in closed form. Every design here is the bilinear
/// transform of an analogue prototype, prewarped at the band's frequency, so the ideal digital
/// magnitude at f is the prototype's at Omega = tan(pi f / fs) / tan(pi f_band / fs):
/// - bell (gain g >= 0, V = 10^(g / 20)): |H|^2 = ((1 - O^2)^2 + (V O / Q)^2) /
///   ((1 - O^2)^2 + (O / Q)^2), the reciprocal for a cut;
/// - notch: (1 - O^2)^2 / ((1 - O^2)^2 + (O / Q)^2);
/// - the cookbook's low shelf (A = 10^(g / 40)): A^2 ((A - O^2)^2 + A O^2 / Q^2) /
///   ((1 - A O^2)^2 + A O^2 / Q^2), the high shelf the same with numerator and denominator
///   exchanged; above Q 0.7071 it overshoots its gain on one side and its 0 dB on the other;
/// - Butterworth of order N: 1 / (1 + O^2N) (low-pass), 1 / (1 + O^-2N) (high-pass).
class IdealResponse {
 public:
  /// The ideal of `band` at `sampleRate` Hz; `order` is a pass band's Butterworth order.
  static IdealResponse Of(const EqBand& band, unsigned order, double sampleRate);

  /// |H| at `freq` Hz, as a factor.
  double Magnitude(double freq) const;

  /// The highest |H| reaches at any frequency, as a factor.
  double Peak() const { return m_peak; }

 private:
  std::uint32_t m_type = 0;
  double m_sampleRate = 0.0;
  double m_tanBand = 1.0;  // tan(pi f_band / fs)
  double m_factor = 1.0;   // V of a bell, A of a shelf
  bool m_cut = false;      // a bell's gain is below 0
  double m_qual = 1.0;
  unsigned m_order = 0;
  double m_peak = 1.0;
};

/// The result of CheckSections: the fault and the value that gave it away (the designed response
/// where it rises furthest above the ideal, or the peak gain of a leading part, dB; 0 for an
/// unstable section), with the frequency and, for ResponseTooHigh, the ideal's dB there.
struct SectionCheckResult {
  SectionFault fault = SectionFault::None;
  double valueDb = 0.0;
  double freq = 0.0;     ///< Hz
  double idealDb = 0.0;  ///< the ideal response at `freq`
};

/// Checks the designed `sections` of one band at `sampleRate` Hz against the band's `ideal`
/// response. The magnitudes are evaluated on a logarithmic grid from `bandFreq` / 10 (or
/// fs / 10^6 if lower) to fs / 2 in a form that keeps its precision near 0 Hz.
SectionCheckResult CheckSections(std::span<const BiquadCoefs> sections, const IdealResponse& ideal,
                                 double sampleRate, double bandFreq);
