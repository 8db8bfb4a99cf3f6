#include "convert/DeliveryPlanning.h"

#include <algorithm>
#include <cmath>

#include "LibProject/Audio/WaveFileUtil/sndfile/SndFile.h"
#include "delivery/LoudnessMeter.h"
#include "delivery/Resampler.h"
#include "eq/design/FilterChain.h"
#include "platform/text/FormatText.h"
#include "platform/text/NumberText.h"

namespace {

using delivery::DeliveryStep;
using platform::FormatFixed;
using platform::FormatText;

bool Has(const delivery::DeliveryPlan& plan, DeliveryStep step) {
  return std::find(plan.steps.begin(), plan.steps.end(), step) != plan.steps.end();
}

// The speaker of a mono output in an extensible file's mask: the front centre.
constexpr std::uint32_t kFrontCentre = 0x4;

}  // namespace

std::string SignedDb(double value) {
  const std::string text = FormatFixed(value, 1);
  return value > 0.0 && text != "0.0" ? "+" + text : text;
}

std::string DeliveryProblem(const delivery::DeliverySettings& settings,
                            const delivery::SourceShape& source) {
  if (settings.targetLufs && !std::isfinite(*settings.targetLufs)) {
    return "the loudness target is not a number";
  }
  if (settings.ceilingDbtp && !std::isfinite(*settings.ceilingDbtp)) {
    return "the true-peak ceiling is not a number";
  }
  if (settings.channels && *settings.channels != 1 && *settings.channels != source.channels) {
    return FormatText("it has %u channels, and an output has either 1 or the source's channels",
                      static_cast<unsigned>(source.channels));
  }
  const std::uint32_t rate = settings.sampleRate.value_or(source.sampleRate);
  const auto inRange = [](std::uint32_t r) {
    return r >= delivery::Resampler::kMinRate && r <= delivery::Resampler::kMaxRate;
  };
  if (rate != source.sampleRate && (!inRange(rate) || !inRange(source.sampleRate))) {
    return FormatText("its rate %u Hz cannot be converted to %u Hz: rates from %u to %u Hz are",
                      source.sampleRate, rate, delivery::Resampler::kMinRate,
                      delivery::Resampler::kMaxRate);
  }
  return PlanDelivery(settings, source) ? std::string() : std::string("no plan can be made of it");
}

std::string MissingStepProblem(const delivery::DeliveryPlan& plan) {
  if (Has(plan, DeliveryStep::Gain) && !delivery::LoudnessMeterAvailable()) {
    return "this build has no loudness meter, which a loudness target or a true-peak ceiling "
           "needs";
  }
  if (Has(plan, DeliveryStep::Rate) && !delivery::ResamplerAvailable()) {
    return "this build has no resampler, which another output rate needs";
  }
  return {};
}

C_WavInfo OutputInfoFor(const I_WavInfo& source, const OutputLayout& layout) {
  const bool isFloat =
      layout.encoding == SampleEncoding::Float32 || layout.encoding == SampleEncoding::Float64;
  const auto bits = static_cast<std::uint16_t>(SampleBytes(layout.encoding) * 8);
  C_WavInfo info;
  info.CopyFrom(source);
  C_WavEncoding encoding = source.GetEncoding();
  encoding.sampleTag = isFloat ? kWaveTagFloat : kWaveTagPcm;
  encoding.validBits = 0;
  if (layout.channels != source.GetChannels()) {
    encoding.channelMask = encoding.channelMask != 0 ? kFrontCentre : 0;
  }
  info.SetEncoding(encoding);
  // The length is what a 32-bit field can say; the writers take the stream's own.
  info.SetFormat(layout.rate, 0, layout.channels, bits, bits,
                 layout.encoding == SampleEncoding::Pcm8 ? 0 : 1);
  return info;
}

std::string ContainerProblem(std::uint32_t outputType, const I_WavInfo& output, bool depthAsked) {
  if (!IsSndFileType(outputType)) {
    return {};  // WAVE holds every rate, channel count and encoding a delivery makes
  }
  const bool wide =
      output.GetBitsPerSample() > 24 || output.GetEncoding().sampleTag == kWaveTagFloat;
  if (depthAsked && outputType == kFormatTypeFlac && wide) {
    return "a FLAC file holds integer samples of at most 24 bits";
  }
  return SndFileCannotHold(outputType, output);
}

std::string NormalisationText(const delivery::NormalisationGain& gain,
                              const delivery::DeliveryPlan& plan, double limitShortfallLu) {
  using delivery::GainOutcome;
  const std::string ceiling = plan.ceilingDbtp ? FormatFixed(*plan.ceilingDbtp, 1) : "";
  switch (gain.outcome) {
    case GainOutcome::NotAmplifiedBelowGate:
      return FormatText(
          "The output is not amplified: it is silent or below the loudness gate of -70 LUFS, "
          "so it has no loudness to bring to %s LUFS.",
          FormatFixed(plan.targetLufs.value_or(0.0), 1).c_str());
    case GainOutcome::LoweredForCeiling:
      if (plan.targetLufs) {
        return FormatText(
            "The loudness target %s LUFS is not reached: the true-peak ceiling %s dBTP limits "
            "the gain to %s dB, %s LU short of it.",
            FormatFixed(*plan.targetLufs, 1).c_str(), ceiling.c_str(),
            SignedDb(gain.gainDb).c_str(),
            FormatFixed(gain.shortfallLu + limitShortfallLu, 1).c_str());
      }
      return FormatText(
          "The output is lowered by %s dB so that its true peak meets the ceiling "
          "%s dBTP.",
          FormatFixed(-gain.gainDb, 1).c_str(), ceiling.c_str());
    case GainOutcome::Reached:
    case GainOutcome::Unchanged: break;
  }
  if (limitShortfallLu > 0.0 && plan.targetLufs) {
    return FormatText(
        "The loudness target %s LUFS is not reached: the preamp and the gain together stay "
        "within %s dB, %s LU short of it.",
        FormatFixed(*plan.targetLufs, 1).c_str(), FormatFixed(kMaxPreampDb, 0).c_str(),
        FormatFixed(limitShortfallLu, 1).c_str());
  }
  return {};
}

EqBandTable TableWithGain(const EqBandTable& table, double gainDb, double& applied) {
  EqBandTable raised = table;
  const double base = std::isfinite(table.preampDb) && std::fabs(table.preampDb) <= kMaxPreampDb
                          ? table.preampDb
                          : 0.0;
  const double preamp = base + gainDb;
  applied = gainDb;
  if (std::fabs(preamp) > kMaxPreampDb) {
    raised.preampDb = std::clamp(preamp, -kMaxPreampDb, kMaxPreampDb);
    applied = raised.preampDb - base;
    return raised;
  }
  raised.preampDb = preamp;
  return raised;
}
