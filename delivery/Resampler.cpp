#include "Resampler.h"

#include <soxr.h>

#include <algorithm>
#include <cassert>
#include <cmath>

namespace delivery {

namespace {

soxr_t Soxr(void* soxr) { return static_cast<soxr_t>(soxr); }

// Room in the output for this many frames beyond the input's share of it: the library may give
// a few frames more than the rate ratio of one call's input (its own buffered input).
constexpr std::size_t kSpareFrames = 64;

// A piece of input with a value that is not finite is cleaned this many frames at a time.
constexpr std::size_t kCleanFrames = 4096;

}  // namespace

bool ResamplerAvailable() { return true; }

void Resampler::SoxrDeleter::operator()(void* soxr) const { soxr_delete(Soxr(soxr)); }

Resampler::Resampler(void* soxr, unsigned channels, std::uint32_t inputRate,
                     std::uint32_t outputRate)
    : m_soxr(soxr), m_channels(channels), m_inputRate(inputRate), m_outputRate(outputRate) {}

std::optional<Resampler> Resampler::Create(unsigned channels, std::uint32_t inputRate,
                                           std::uint32_t outputRate) {
  const auto inRange = [](std::uint32_t rate) { return rate >= kMinRate && rate <= kMaxRate; };
  if (channels == 0 || !inRange(inputRate) || !inRange(outputRate)) {
    return std::nullopt;
  }
  const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT64_I, SOXR_FLOAT64_I);
  const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_VHQ, SOXR_LINEAR_PHASE);
  soxr_error_t error = nullptr;
  soxr_t soxr = soxr_create(inputRate, outputRate, channels, &error, &io, &quality, nullptr);
  if (error != nullptr || soxr == nullptr) {
    soxr_delete(soxr);
    return std::nullopt;
  }
  return Resampler(soxr, channels, inputRate, outputRate);
}

std::uint64_t Resampler::OutputFrames(std::uint64_t inputFrames, std::uint32_t inputRate,
                                      std::uint32_t outputRate) {
  assert(inputRate > 0);
  // floor(n * out / in + 1/2) in integers: exact for any length below 2^43 frames (a year at
  // 384 kHz is 2^43.5; the product stays below 2^64).
  return (2 * inputFrames * outputRate + inputRate) / (2 * std::uint64_t{inputRate});
}

void Resampler::Run(const double* input, std::size_t frames, std::vector<double>& out) {
  // Until the library has taken all the input and left room unused in the output (it has no
  // more to give): with input null it flushes, and gives nothing once it has given all.
  const double ratio = static_cast<double>(m_outputRate) / m_inputRate;
  for (;;) {
    const auto room =
        static_cast<std::size_t>(std::ceil(static_cast<double>(frames) * ratio)) + kSpareFrames;
    const std::size_t had = out.size();
    out.resize(had + room * m_channels);
    std::size_t used = 0;
    std::size_t made = 0;
    const soxr_error_t error =
        soxr_process(Soxr(m_soxr.get()), input, frames, input != nullptr ? &used : nullptr,
                     out.data() + had, room, &made);
    out.resize(had + made * m_channels);
    if (error != nullptr) {
      // Only an allocation inside the library fails; the stream ends where it failed.
      assert(false && "soxr_process failed");
      return;
    }
    if (input != nullptr) {
      input += used * m_channels;
      frames -= used;
      if (frames == 0 && made < room) {
        return;
      }
    } else if (made == 0) {
      return;
    }
  }
}

void Resampler::Process(std::span<const double> input, std::vector<double>& out) {
  assert(!m_flushed);
  assert(input.size() % m_channels == 0);
  const bool finite =
      std::all_of(input.begin(), input.end(), [](double value) { return std::isfinite(value); });
  if (finite) {
    Run(input.data(), input.size() / m_channels, out);
    return;
  }
  const std::size_t frames = input.size() / m_channels;
  for (std::size_t first = 0; first < frames; first += kCleanFrames) {
    const std::size_t count = std::min(kCleanFrames, frames - first);
    m_clean.resize(count * m_channels);
    const double* in = input.data() + first * m_channels;
    for (std::size_t i = 0; i < m_clean.size(); ++i) {
      m_clean[i] = std::isfinite(in[i]) ? in[i] : 0.0;
    }
    Run(m_clean.data(), count, out);
  }
}

void Resampler::Flush(std::vector<double>& out) {
  assert(!m_flushed);
  m_flushed = true;
  Run(nullptr, 0, out);
}

}  // namespace delivery
