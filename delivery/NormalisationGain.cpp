#include "NormalisationGain.h"

namespace delivery {

NormalisationGain ComputeNormalisationGain(std::optional<double> integratedLufs,
                                           std::optional<double> truePeakDbtp,
                                           std::optional<double> targetLufs,
                                           std::optional<double> ceilingDbtp) {
  NormalisationGain result;
  double wanted = 0.0;
  if (targetLufs) {
    if (integratedLufs) {
      wanted = *targetLufs - *integratedLufs;
      result.outcome = GainOutcome::Reached;
    } else {
      result.outcome = GainOutcome::NotAmplifiedBelowGate;
    }
  }
  result.gainDb = wanted;
  if (ceilingDbtp && truePeakDbtp && *truePeakDbtp + wanted > *ceilingDbtp) {
    result.gainDb = *ceilingDbtp - *truePeakDbtp;
    result.outcome = GainOutcome::LoweredForCeiling;
    result.shortfallLu = wanted - result.gainDb;
  }
  return result;
}

}  // namespace delivery
