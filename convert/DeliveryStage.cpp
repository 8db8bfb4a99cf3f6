#include "convert/DeliveryStage.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <span>

#include "convert/UnitSamples.h"
#include "delivery/Downmix.h"

namespace {

using delivery::DeliveryStep;
using delivery::SampleDepth;

// The source frames decoded at a time: blocks arrive as a streamed write's (about a MiB), cut
// here so that the values stay in the cache.
constexpr std::size_t kPieceFrames = 8192;

bool Has(const delivery::DeliveryPlan& plan, DeliveryStep step) {
  return std::find(plan.steps.begin(), plan.steps.end(), step) != plan.steps.end();
}

// The integer depth of an encoding the quantizer writes; empty for 8-bit and 64-bit floats.
std::optional<SampleDepth> QuantizedDepth(SampleEncoding encoding) {
  switch (encoding) {
    case SampleEncoding::Pcm16: return SampleDepth::Int16;
    case SampleEncoding::Pcm24: return SampleDepth::Int24;
    case SampleEncoding::Pcm32: return SampleDepth::Int32;
    case SampleEncoding::Float32: return SampleDepth::Float32;
    case SampleEncoding::Pcm8:
    case SampleEncoding::Float64: break;
  }
  return std::nullopt;
}

}  // namespace

SampleEncoding EncodingOfDepth(SampleDepth depth) {
  switch (depth) {
    case SampleDepth::Int16: return SampleEncoding::Pcm16;
    case SampleDepth::Int24: return SampleEncoding::Pcm24;
    case SampleDepth::Int32: return SampleEncoding::Pcm32;
    case SampleDepth::Float32: break;
  }
  return SampleEncoding::Float32;
}

DeliveryStage::~DeliveryStage() = default;

std::unique_ptr<DeliveryStage> DeliveryStage::Create(const delivery::DeliveryPlan& plan,
                                                     SampleEncoding encoding,
                                                     std::uint16_t channels, std::uint32_t rate,
                                                     std::uint64_t sourceBytes, bool forMeasure) {
  std::unique_ptr<DeliveryStage> stage(new DeliveryStage());
  stage->m_encoding = encoding;
  stage->m_channels = channels;
  stage->m_frameBytes = SampleBytes(encoding) * channels;
  stage->m_output.rate = plan.outputRate;
  stage->m_output.channels = plan.outputChannels;
  stage->m_downmix = Has(plan, DeliveryStep::Channels);
  if (Has(plan, DeliveryStep::Rate)) {
    stage->m_resampler = delivery::Resampler::Create(channels, rate, plan.outputRate);
    if (!stage->m_resampler) {
      return nullptr;
    }
  }
  const std::uint64_t sourceFrames =
      stage->m_frameBytes > 0 ? sourceBytes / stage->m_frameBytes : 0;
  stage->m_outputFrames =
      stage->m_resampler ? delivery::Resampler::OutputFrames(sourceFrames, rate, plan.outputRate)
                         : sourceFrames;
  if (forMeasure) {
    stage->m_output.encoding = SampleEncoding::Float64;
  } else if (plan.depth) {
    stage->m_output.encoding = EncodingOfDepth(*plan.depth);
    stage->m_quantizer.emplace(*plan.depth, plan.dither);
  } else {
    // The source's encoding again: only the rate or the channels changed, and no depth is
    // reduced, so nothing is dithered.
    stage->m_output.encoding = encoding;
    if (const auto depth = QuantizedDepth(encoding)) {
      stage->m_quantizer.emplace(*depth, false);
    }
  }
  return stage;
}

std::uint64_t DeliveryStage::OutputBytes() const {
  return m_outputFrames * m_output.channels * SampleBytes(m_output.encoding);
}

bool DeliveryStage::Convert(const std::uint8_t* bytes, std::size_t size, const Writer& write) {
  if (!m_partial.empty()) {
    // The rest of the frame begun before, then what follows.
    const std::size_t take = std::min(size, m_frameBytes - m_partial.size());
    m_partial.insert(m_partial.end(), bytes, bytes + take);
    bytes += take;
    size -= take;
    if (m_partial.size() < m_frameBytes) {
      return true;
    }
    if (!Process(m_partial.data(), 1, write)) {
      return false;
    }
    m_partial.clear();
  }
  const std::size_t frames = size / m_frameBytes;
  if (!Process(bytes, frames, write)) {
    return false;
  }
  m_partial.assign(bytes + frames * m_frameBytes, bytes + size);
  return true;
}

bool DeliveryStage::Process(const std::uint8_t* bytes, std::size_t frames, const Writer& write) {
  for (std::size_t first = 0; first < frames; first += kPieceFrames) {
    const std::size_t count = std::min(kPieceFrames, frames - first);
    m_values.resize(count * m_channels);
    DecodeUnitSamples(m_encoding, bytes + first * m_frameBytes, m_values.size(), m_values.data());
    double* values = m_values.data();
    std::size_t made = count;
    if (m_resampler) {
      m_resampled.clear();
      m_resampler->Process(m_values, m_resampled);
      values = m_resampled.data();
      made = m_resampled.size() / m_channels;
    }
    if (!Emit(values, made, write)) {
      return false;
    }
  }
  return true;
}

bool DeliveryStage::Flush(const Writer& write) {
  if (m_resampler) {
    m_resampled.clear();
    m_resampler->Flush(m_resampled);
    if (!Emit(m_resampled.data(), m_resampled.size() / m_channels, write)) {
      return false;
    }
  }
  // The library gives the ratio's length exactly; should it fall short, the file still holds
  // the frames its header states, the rest silent.
  if (m_emittedFrames < m_outputFrames) {
    m_values.assign(static_cast<std::size_t>(m_outputFrames - m_emittedFrames) * m_channels, 0.0);
    return Emit(m_values.data(), static_cast<std::size_t>(m_outputFrames - m_emittedFrames), write);
  }
  return true;
}

std::uint64_t DeliveryStage::Clipped() const {
  return m_clipped + (m_quantizer ? m_quantizer->Clipped() : 0);
}

bool DeliveryStage::Emit(double* values, std::size_t frames, const Writer& write) {
  frames =
      static_cast<std::size_t>(std::min<std::uint64_t>(frames, m_outputFrames - m_emittedFrames));
  if (frames == 0) {
    return true;
  }
  m_emittedFrames += frames;
  std::size_t count = frames * m_channels;
  if (m_downmix) {
    // In place: frame k is read before value k is written.
    const std::span<double> inPlace(values, count);
    delivery::DownmixToMono(inPlace, m_channels, inPlace);
    count = frames;
  }
  const std::size_t width = SampleBytes(m_output.encoding);
  m_bytes.resize(count * width);
  std::uint8_t* out = m_bytes.data();
  switch (m_output.encoding) {
    case SampleEncoding::Float64: std::memcpy(out, values, count * sizeof(double)); break;
    case SampleEncoding::Float32:
      m_floats.resize(count);
      m_quantizer->ToFloat(std::span<const double>(values, count), m_floats);
      std::memcpy(out, m_floats.data(), count * sizeof(float));
      break;
    case SampleEncoding::Pcm8:
      // Rounded to nearest as the quantizer rounds, limited, stored offset by 128.
      for (std::size_t i = 0; i < count; ++i) {
        double y = std::isnan(values[i]) ? 0.0 : std::round(values[i] * 128.0);
        if (y > 127.0 || y < -128.0) {
          ++m_clipped;
          y = y > 127.0 ? 127.0 : -128.0;
        }
        out[i] = static_cast<std::uint8_t>(static_cast<int>(y) + 128);
      }
      break;
    case SampleEncoding::Pcm16:
    case SampleEncoding::Pcm24:
    case SampleEncoding::Pcm32:
      m_integers.resize(count);
      m_quantizer->ToInteger(std::span<const double>(values, count), m_integers);
      for (std::size_t i = 0; i < count; ++i) {
        const auto v = static_cast<std::uint32_t>(m_integers[i]);
        for (std::size_t b = 0; b < width; ++b) {
          out[i * width + b] = static_cast<std::uint8_t>(v >> (8 * b));
        }
      }
      break;
  }
  return write(m_bytes.data(), m_bytes.size());
}
