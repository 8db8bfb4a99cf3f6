#pragma once

#include <optional>

namespace delivery {

/// How the normalising gain came out.
enum class GainOutcome {
  Reached,                ///< the gain brings the integrated loudness to the target
  LoweredForCeiling,      ///< lowered so that the true peak meets the ceiling; see shortfallLu
  NotAmplifiedBelowGate,  ///< the input is silent or below the gate: gain 0
  Unchanged,              ///< no target, and the true peak is within the ceiling: gain 0
};

/// The one gain a delivery applies (through the preamp, before anything else changes).
struct NormalisationGain {
  double gainDb = 0.0;  ///< the gain to apply, dB (negative attenuates)
  GainOutcome outcome = GainOutcome::Unchanged;
  /// LoweredForCeiling: how far the gain falls short of the one wanted (the target's gain, or
  /// 0 dB without a target), LU; the output's loudness then stays this far below the target.
  double shortfallLu = 0.0;
};

/// The gain for a measured input: `integratedLufs` and `truePeakDbtp` as LoudnessResult gives
/// them (empty: below the gate; silent). With `targetLufs` the wanted gain is target minus the
/// integrated loudness; without one, or for an input below the gate, it is 0 dB (a quiet input
/// is never amplified). With `ceilingDbtp`, a gain that would lift the true peak above the
/// ceiling is lowered to ceilingDbtp - truePeakDbtp, even below 0 dB: one plain gain, no limiter.
NormalisationGain ComputeNormalisationGain(std::optional<double> integratedLufs,
                                           std::optional<double> truePeakDbtp,
                                           std::optional<double> targetLufs,
                                           std::optional<double> ceilingDbtp);

}  // namespace delivery
