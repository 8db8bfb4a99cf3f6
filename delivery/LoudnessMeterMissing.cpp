// A build without libebur128 (Windows): no meter can be created, so a conversion measures
// nothing and a normalisation says why it cannot run.
#include "LoudnessMeter.h"

namespace delivery {

void LoudnessMeter::StateDeleter::operator()(void* /*state*/) const {}

LoudnessMeter::LoudnessMeter(void* state, unsigned channels, double fullScale, Parts parts)
    : m_state(state), m_channels(channels), m_parts(parts), m_scale(1.0 / fullScale) {}

std::optional<LoudnessMeter> LoudnessMeter::Create(unsigned /*channels*/,
                                                   std::uint32_t /*sampleRate*/,
                                                   double /*fullScale*/, Parts /*parts*/) {
  return std::nullopt;
}

void LoudnessMeter::Add(std::span<const double> /*interleaved*/) {}

LoudnessResult LoudnessMeter::Result() const { return {}; }

bool LoudnessMeterAvailable() { return false; }

}  // namespace delivery
