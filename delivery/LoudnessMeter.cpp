#include "LoudnessMeter.h"

#include <ebur128.h>

#include <algorithm>
#include <cassert>
#include <cmath>

namespace delivery {

namespace {

// The input is scaled into a scratch piece of this many frames at a time: bounded memory for
// any block the caller feeds.
constexpr std::size_t kPieceFrames = 4096;

// Integrated loudness and range from the library's histograms (bounded memory), and the
// sample peak; the true peak on its own (its mode also runs the library's K-weighting).
constexpr int kLoudnessMode =
    EBUR128_MODE_I | EBUR128_MODE_LRA | EBUR128_MODE_SAMPLE_PEAK | EBUR128_MODE_HISTOGRAM;
constexpr int kTruePeakMode = EBUR128_MODE_TRUE_PEAK;

int ModeOf(LoudnessMeter::Parts parts) {
  switch (parts) {
    case LoudnessMeter::Parts::Loudness: return kLoudnessMode;
    case LoudnessMeter::Parts::TruePeak: return kTruePeakMode;
    case LoudnessMeter::Parts::All: break;
  }
  return kLoudnessMode | kTruePeakMode;
}

// The library's default map covers the first six channels (the WAVE order of 5.1) and leaves
// the rest out; from the seventh on, each channel counts at weight 1, as a front channel does.
constexpr unsigned kMappedChannels = 6;

ebur128_state* State(void* state) { return static_cast<ebur128_state*>(state); }

}  // namespace

void LoudnessMeter::StateDeleter::operator()(void* state) const {
  ebur128_state* s = State(state);
  ebur128_destroy(&s);
}

LoudnessMeter::LoudnessMeter(void* state, unsigned channels, double fullScale, Parts parts)
    : m_state(state), m_channels(channels), m_parts(parts), m_scale(1.0 / fullScale) {}

std::optional<LoudnessMeter> LoudnessMeter::Create(unsigned channels, std::uint32_t sampleRate,
                                                   double fullScale, Parts parts) {
  assert(fullScale > 0.0 && std::isfinite(fullScale));
  if (channels == 0 || channels > kMaxChannels) {
    return std::nullopt;
  }
  ebur128_state* state = ebur128_init(channels, sampleRate, ModeOf(parts));
  if (state == nullptr) {
    return std::nullopt;
  }
  LoudnessMeter meter(state, channels, fullScale, parts);
  for (unsigned c = kMappedChannels; c < channels; ++c) {
    if (ebur128_set_channel(state, c, EBUR128_CENTER) != EBUR128_SUCCESS) {
      return std::nullopt;
    }
  }
  meter.m_scratch.resize(kPieceFrames * channels);
  return meter;
}

void LoudnessMeter::Add(std::span<const double> interleaved) {
  assert(interleaved.size() % m_channels == 0);
  const std::size_t frames = interleaved.size() / m_channels;
  for (std::size_t first = 0; first < frames; first += kPieceFrames) {
    const std::size_t count = std::min(kPieceFrames, frames - first);
    const double* in = interleaved.data() + first * m_channels;
    for (std::size_t i = 0; i < count * m_channels; ++i) {
      m_scratch[i] = std::isfinite(in[i]) ? in[i] * m_scale : 0.0;
    }
    // The only failure is an allocation of the library's, which its histogram mode never makes
    // while frames are added.
    [[maybe_unused]] const int status =
        ebur128_add_frames_double(State(m_state.get()), m_scratch.data(), count);
    assert(status == EBUR128_SUCCESS);
  }
}

LoudnessResult LoudnessMeter::Result() const {
  ebur128_state* state = State(m_state.get());
  LoudnessResult result;
  double integrated = 0.0;
  if (m_parts != Parts::TruePeak &&
      ebur128_loudness_global(state, &integrated) == EBUR128_SUCCESS && std::isfinite(integrated)) {
    result.integratedLufs = integrated;
    double range = 0.0;
    if (ebur128_loudness_range(state, &range) == EBUR128_SUCCESS && std::isfinite(range)) {
      result.rangeLu = range;
    }
  }
  double truePeak = 0.0;
  double samplePeak = 0.0;
  for (unsigned c = 0; c < m_channels; ++c) {
    double value = 0.0;
    if (m_parts != Parts::Loudness && ebur128_true_peak(state, c, &value) == EBUR128_SUCCESS) {
      truePeak = std::max(truePeak, value);
    }
    if (m_parts != Parts::TruePeak && ebur128_sample_peak(state, c, &value) == EBUR128_SUCCESS) {
      samplePeak = std::max(samplePeak, value);
    }
  }
  result.truePeakDbtp = MagnitudeDb(truePeak);
  result.samplePeakDbfs = MagnitudeDb(samplePeak);
  return result;
}

bool LoudnessMeterAvailable() { return true; }

}  // namespace delivery
