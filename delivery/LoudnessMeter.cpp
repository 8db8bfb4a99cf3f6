#include "LoudnessMeter.h"

#include <ebur128.h>

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstddef>
#include <cstdint>

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

// A true-peak part decides in steps of this many frames whether a piece can raise the peak.
constexpr std::size_t kStepFrames = 1024;

// Below 96 kHz the library oversamples four times through a filter whose every value depends on
// the last 13 input frames. A piece fed after others were passed over is preceded by the frames
// just before it, which gives the filter the history it has had when fed throughout: its values
// over the piece are then the same to the bit (a test compares the two).
constexpr std::size_t kRecentFrames = 64;
constexpr std::uint32_t kFourTimesOversampledBelow = 96000;

// A piece whose frames, with the ones before it, stay below the peak found so far divided by
// LoudnessMeter::kInterpolatorGainBound cannot raise the peak and is passed over. Speech, whose
// peaks stand well above most of its pieces, is measured in a fraction of the time.

double LargestMagnitude(const double* values, std::size_t count) {
  double largest = 0.0;
  for (std::size_t i = 0; i < count; ++i) {
    largest = std::max(largest, std::fabs(values[i]));
  }
  return largest;
}

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
  meter.m_skipsQuietPieces = parts == Parts::TruePeak && sampleRate < kFourTimesOversampledBelow;
  meter.m_recent.reserve((kRecentFrames + kStepFrames) * channels);
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
    if (m_parts == Parts::TruePeak) {
      AddTruePeak(m_scratch.data(), count);
      continue;
    }
    // The only failure is an allocation of the library's, which its histogram mode never makes
    // while frames are added.
    [[maybe_unused]] const int status =
        ebur128_add_frames_double(State(m_state.get()), m_scratch.data(), count);
    assert(status == EBUR128_SUCCESS);
  }
}

void LoudnessMeter::AddTruePeak(const double* scaled, std::size_t frames) {
  ebur128_state* state = State(m_state.get());
  for (std::size_t first = 0; first < frames; first += kStepFrames) {
    const std::size_t count = std::min(kStepFrames, frames - first);
    const double* piece = scaled + first * m_channels;
    const double largest = std::max(LargestMagnitude(m_recent.data(), m_recent.size()),
                                    LargestMagnitude(piece, count * m_channels));
    if (m_skipsQuietPieces && LoudnessMeter::kInterpolatorGainBound * largest < m_truePeak) {
      m_inStep = false;
    } else {
      if (!m_inStep) {
        // The filter's history back; what it gives for these frames is not counted.
        ebur128_add_frames_double(state, m_recent.data(), m_recent.size() / m_channels);
      }
      ebur128_add_frames_double(state, piece, count);
      for (unsigned c = 0; c < m_channels; ++c) {
        double peak = 0.0;
        if (ebur128_prev_true_peak(state, c, &peak) == EBUR128_SUCCESS) {
          m_truePeak = std::max(m_truePeak, peak);
        }
      }
      m_inStep = true;
    }
    // The last frames before the next piece.
    m_recent.insert(m_recent.end(), piece, piece + count * m_channels);
    const std::size_t keep = kRecentFrames * m_channels;
    if (m_recent.size() > keep) {
      m_recent.erase(m_recent.begin(),
                     m_recent.begin() + static_cast<std::ptrdiff_t>(m_recent.size() - keep));
    }
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
  // A true-peak part keeps its own peak: the library's would count the frames fed again.
  double truePeak = m_parts == Parts::TruePeak ? m_truePeak : 0.0;
  double samplePeak = 0.0;
  for (unsigned c = 0; c < m_channels; ++c) {
    double value = 0.0;
    if (m_parts == Parts::All && ebur128_true_peak(state, c, &value) == EBUR128_SUCCESS) {
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
