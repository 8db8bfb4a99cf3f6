#include "DeliverySettings.h"

#include <algorithm>
#include <cmath>

#include "delivery/Resampler.h"

namespace delivery {

namespace {

template <typename T>
std::optional<T> Either(const std::optional<T>& explicitValue, const std::optional<T>& setValue) {
  return explicitValue ? explicitValue : setValue;
}

const std::array<NamedDelivery, 4> kNamed = {{
    {.name = "podcast",
     .basis = "AES TD1004 and the podcast platforms: -16 LUFS, true peak at most -1 dBTP",
     .settings = {.targetLufs = -16.0,
                  .ceilingDbtp = -1.0,
                  .sampleRate = 44100,
                  .depth = SampleDepth::Int16}},
    {.name = "broadcast",
     .basis = "EBU R128: -23 LUFS, true peak at most -1 dBTP; 48 kHz 24-bit for exchange",
     .settings = {.targetLufs = -23.0,
                  .ceilingDbtp = -1.0,
                  .sampleRate = 48000,
                  .depth = SampleDepth::Int24}},
    // The loudness is left alone; the peak is kept 1 dB below full scale, the margin of the
    // other sets, which leaves room for the small overshoots of the rate change and dither.
    {.name = "speech-recognition",
     .basis = "speech-recognition and transcription services: 16 kHz mono 16-bit",
     .settings =
         {.ceilingDbtp = -1.0, .sampleRate = 16000, .channels = 1, .depth = SampleDepth::Int16}},
    {.name = "archive",
     .basis = "archiving practice: 48 kHz 24-bit, the loudness as recorded",
     .settings = {.sampleRate = 48000, .depth = SampleDepth::Int24}},
}};

}  // namespace

DeliverySettings MergeDelivery(const DeliverySettings& set,
                               const DeliverySettings& explicitValues) {
  return {.targetLufs = Either(explicitValues.targetLufs, set.targetLufs),
          .ceilingDbtp = Either(explicitValues.ceilingDbtp, set.ceilingDbtp),
          .sampleRate = Either(explicitValues.sampleRate, set.sampleRate),
          .channels = Either(explicitValues.channels, set.channels),
          .depth = Either(explicitValues.depth, set.depth),
          .dither = Either(explicitValues.dither, set.dither)};
}

std::span<const NamedDelivery> NamedDeliveries() { return kNamed; }

std::optional<DeliverySettings> FindNamedDelivery(std::string_view name) {
  const auto* found = std::find_if(kNamed.begin(), kNamed.end(),
                                   [name](const NamedDelivery& d) { return d.name == name; });
  if (found == kNamed.end()) {
    return std::nullopt;
  }
  return found->settings;
}

std::optional<DeliveryPlan> PlanDelivery(const DeliverySettings& settings,
                                         const SourceShape& source) {
  if ((settings.targetLufs && !std::isfinite(*settings.targetLufs)) ||
      (settings.ceilingDbtp && !std::isfinite(*settings.ceilingDbtp))) {
    return std::nullopt;
  }
  DeliveryPlan plan;
  plan.targetLufs = settings.targetLufs;
  plan.ceilingDbtp = settings.ceilingDbtp;
  if (plan.targetLufs && !plan.ceilingDbtp) {
    plan.ceilingDbtp = kDefaultCeilingDbtp;
  }
  plan.outputRate = settings.sampleRate.value_or(source.sampleRate);
  plan.outputChannels = settings.channels.value_or(source.channels);
  // A depth that is the source's own is no change: the source's encoding, written as without
  // a delivery.
  const bool sameEncoding =
      settings.depth && (*settings.depth == SampleDepth::Float32
                             ? source.isFloat && source.bits == 32
                             : !source.isFloat && source.bits == DepthBits(*settings.depth));
  if (!sameEncoding) {
    plan.depth = settings.depth;
  }
  plan.dither = settings.dither.value_or(true) && plan.depth &&
                DepthIsReduced(source.bits, source.isFloat, *plan.depth);

  const bool resample = plan.outputRate != source.sampleRate;
  const auto inRange = [](std::uint32_t rate) {
    return rate >= Resampler::kMinRate && rate <= Resampler::kMaxRate;
  };
  if (resample && (!inRange(source.sampleRate) || !inRange(plan.outputRate))) {
    return std::nullopt;
  }
  if (plan.outputChannels != source.channels && plan.outputChannels != 1) {
    return std::nullopt;
  }
  for (const DeliveryStep step : kDeliveryStepOrder) {
    bool runs = false;
    switch (step) {
      case DeliveryStep::Gain: runs = plan.targetLufs || plan.ceilingDbtp; break;
      case DeliveryStep::Rate: runs = resample; break;
      case DeliveryStep::Channels: runs = plan.outputChannels != source.channels; break;
      case DeliveryStep::Depth: runs = plan.depth.has_value(); break;
    }
    if (runs) {
      plan.steps.push_back(step);
    }
  }
  return plan;
}

}  // namespace delivery
