// A build without libsoxr (Windows): no resampler can be created, so a delivery that changes
// the rate is refused before anything runs.
#include "Resampler.h"

#include <cassert>

namespace delivery {

void Resampler::SoxrDeleter::operator()(void* /*soxr*/) const {}

Resampler::Resampler(void* soxr, unsigned channels, std::uint32_t inputRate,
                     std::uint32_t outputRate)
    : m_soxr(soxr), m_channels(channels), m_inputRate(inputRate), m_outputRate(outputRate) {}

std::optional<Resampler> Resampler::Create(unsigned /*channels*/, std::uint32_t /*inputRate*/,
                                           std::uint32_t /*outputRate*/) {
  return std::nullopt;
}

std::uint64_t Resampler::OutputFrames(std::uint64_t inputFrames, std::uint32_t inputRate,
                                      std::uint32_t outputRate) {
  assert(inputRate > 0);
  return (2 * inputFrames * outputRate + inputRate) / (2 * std::uint64_t{inputRate});
}

void Resampler::Run(const double* /*input*/, std::size_t /*frames*/, std::vector<double>& /*out*/) {
}

void Resampler::Process(std::span<const double> /*input*/, std::vector<double>& /*out*/) {}

void Resampler::Flush(std::vector<double>& /*out*/) {}

bool ResamplerAvailable() { return false; }

}  // namespace delivery
