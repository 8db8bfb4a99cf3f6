#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "delivery/Quantizer.h"

namespace delivery {

/// What a destination asks of the output; an empty value leaves that property as the source
/// has it (no loudness change, no ceiling, the source's rate, channels and encoding).
struct DeliverySettings {
  std::optional<double> targetLufs{};         ///< integrated loudness to normalise to, LUFS
  std::optional<double> ceilingDbtp{};        ///< the true peak's ceiling, dBTP
  std::optional<std::uint32_t> sampleRate{};  ///< output rate, Hz (8000 to 384000)
  std::optional<std::uint16_t> channels{};    ///< output channels: 1 mixes down to mono
  std::optional<SampleDepth> depth{};         ///< output encoding
  std::optional<bool> dither{};               ///< false: no dither even where the depth is reduced

  bool operator==(const DeliverySettings&) const = default;
};

/// The ceiling when a target is given without one, dBTP.
inline constexpr double kDefaultCeilingDbtp = -1.0;

/// `set` with every value that `explicitValues` holds put in its place: explicit options
/// override a named delivery's values.
DeliverySettings MergeDelivery(const DeliverySettings& set, const DeliverySettings& explicitValues);

/// A named set of delivery values and where its values come from.
struct NamedDelivery {
  std::string_view name;   ///< as the user names it ("podcast")
  std::string_view basis;  ///< the rule or practice the values follow
  DeliverySettings settings;
};

/// The named deliveries, in the order a listing shows them.
std::span<const NamedDelivery> NamedDeliveries();

/// The named delivery `name` (exact, lower case); empty for an unknown name.
std::optional<DeliverySettings> FindNamedDelivery(std::string_view name);

/// The steps of a delivery, in the order they run on the samples.
enum class DeliveryStep : std::uint8_t {
  Gain,      ///< the normalising gain (applied through the preamp, with the EQ)
  Rate,      ///< sample-rate conversion (Resampler)
  Channels,  ///< mix down to mono (DownmixToMono)
  Depth,     ///< the output encoding, dithered where reduced (Quantizer)
};
inline constexpr std::array<DeliveryStep, 4> kDeliveryStepOrder = {
    DeliveryStep::Gain, DeliveryStep::Rate, DeliveryStep::Channels, DeliveryStep::Depth};

/// The source's layout, as a delivery plan needs it.
struct SourceShape {
  std::uint32_t sampleRate = 0;
  std::uint16_t channels = 0;
  unsigned bits = 0;     ///< bits of one sample
  bool isFloat = false;  ///< floating-point samples
};

/// What a delivery does to one source.
struct DeliveryPlan {
  std::optional<double> targetLufs;   ///< normalise to this, LUFS
  std::optional<double> ceilingDbtp;  ///< keep the true peak at or below this, dBTP
  std::uint32_t outputRate = 0;       ///< Hz
  std::uint16_t outputChannels = 0;
  std::optional<SampleDepth> depth;  ///< empty: the source's encoding (also when asked for)
  bool dither = false;               ///< TPDF dither in the Depth step
  /// The steps that change something, in kDeliveryStepOrder. A Gain step needs a first pass
  /// that measures the filtered samples.
  std::vector<DeliveryStep> steps;
};

/// The plan of `settings` for `source`: a target without a ceiling gets kDefaultCeilingDbtp;
/// dither when the depth is reduced (DepthIsReduced) unless turned off. Empty when no step can
/// do what the settings ask: a target or ceiling that is not a finite number, a channel count
/// other than 1 or the source's, or a rate change from or to a rate outside the Resampler's
/// range.
std::optional<DeliveryPlan> PlanDelivery(const DeliverySettings& settings,
                                         const SourceShape& source);

}  // namespace delivery
