#include "convert/OutputMeter.h"

#include <algorithm>
#include <utility>

#include "convert/UnitSamples.h"

namespace {

using delivery::LoudnessMeter;

// The bytes gathered before they are handed to the threads: as a streamed write's block, so
// that the threads measure one block while the conversion filters the next.
constexpr std::size_t kHandBytes = std::size_t{1024} << 10;

// Frames decoded at a time on a thread, which stay in the cache for its meter.
constexpr std::size_t kDecodeFrames = 4096;

// Most threads the true peak is spread over.
constexpr unsigned kMaxPeakThreads = 4;

}  // namespace

std::unique_ptr<OutputMeter> OutputMeter::Create(SampleEncoding encoding, unsigned channels,
                                                 std::uint32_t rate, bool ownThreads) {
  std::vector<std::unique_ptr<Part>> parts;
  auto loudness = LoudnessMeter::Create(channels, rate, 1.0, LoudnessMeter::Parts::Loudness);
  if (!loudness) {
    return nullptr;
  }
  parts.push_back(std::make_unique<Part>(std::move(*loudness), 0, channels, ownThreads));
  const unsigned groups = std::min(channels, kMaxPeakThreads);
  for (unsigned g = 0; g < groups; ++g) {
    const unsigned first = g * channels / groups;
    const unsigned count = (g + 1) * channels / groups - first;
    auto peak = LoudnessMeter::Create(count, rate, 1.0, LoudnessMeter::Parts::TruePeak);
    if (!peak) {
      return nullptr;
    }
    parts.push_back(std::make_unique<Part>(std::move(*peak), first, count, ownThreads));
  }
  return std::unique_ptr<OutputMeter>(new OutputMeter(encoding, channels, std::move(parts)));
}

OutputMeter::OutputMeter(SampleEncoding encoding, unsigned channels,
                         std::vector<std::unique_ptr<Part>> parts)
    : m_encoding(encoding),
      m_channels(channels),
      m_sampleBytes(SampleBytes(encoding)),
      m_frameBytes(SampleBytes(encoding) * channels),
      m_parts(std::move(parts)) {
  m_gathered.reserve(kHandBytes + m_frameBytes);
}

OutputMeter::~OutputMeter() {
  for (const auto& part : m_parts) {
    try {
      part->thread.Wait();
    } catch (...) {
      // What a meter's thread threw concerns the measurement only, which goes with it.
    }
  }
}

void OutputMeter::Add(const std::uint8_t* bytes, std::size_t size) {
  m_gathered.insert(m_gathered.end(), bytes, bytes + size);
  if (m_gathered.size() >= kHandBytes) {
    Hand();
  }
}

void OutputMeter::WaitForParts() {
  for (const auto& part : m_parts) {
    part->thread.Wait();
  }
}

void OutputMeter::Hand() {
  const std::size_t whole = m_gathered.size() - m_gathered.size() % m_frameBytes;
  if (whole == 0) {
    return;
  }
  WaitForParts();
  std::swap(m_gathered, m_work);
  m_gathered.assign(m_work.begin() + static_cast<std::ptrdiff_t>(whole), m_work.end());
  m_work.resize(whole);
  for (const auto& part : m_parts) {
    Part* p = part.get();
    p->thread.Start([this, p] { Measure(*p); });
  }
}

void OutputMeter::Measure(Part& part) const {
  const std::size_t frames = m_work.size() / m_frameBytes;
  const bool all = part.channelCount == m_channels;
  part.values.resize(kDecodeFrames * m_channels);
  part.picked.resize(all ? 0 : kDecodeFrames * part.channelCount);
  for (std::size_t first = 0; first < frames; first += kDecodeFrames) {
    const std::size_t count = std::min(kDecodeFrames, frames - first);
    DecodeUnitSamples(m_encoding, m_work.data() + first * m_frameBytes, count * m_channels,
                      part.values.data());
    if (all) {
      part.meter.Add(std::span<const double>(part.values.data(), count * m_channels));
      continue;
    }
    for (std::size_t f = 0; f < count; ++f) {
      for (unsigned c = 0; c < part.channelCount; ++c) {
        part.picked[f * part.channelCount + c] =
            part.values[f * m_channels + part.firstChannel + c];
      }
    }
    part.meter.Add(std::span<const double>(part.picked.data(), count * part.channelCount));
  }
}

OutputLoudness OutputMeter::Finish() {
  Hand();
  WaitForParts();
  const delivery::LoudnessResult loudness = m_parts.front()->meter.Result();
  OutputLoudness result;
  result.measured = true;
  result.integratedLufs = loudness.integratedLufs;
  if (loudness.integratedLufs) {
    result.rangeLu = loudness.rangeLu;
  }
  result.samplePeakDbfs = loudness.samplePeakDbfs;
  for (std::size_t i = 1; i < m_parts.size(); ++i) {
    const auto peak = m_parts[i]->meter.Result().truePeakDbtp;
    if (peak && (!result.truePeakDbtp || *peak > *result.truePeakDbtp)) {
      result.truePeakDbtp = peak;
    }
  }
  return result;
}
