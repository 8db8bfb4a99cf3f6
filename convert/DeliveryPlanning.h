#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "LibProject/Audio/WaveFileUtil/WavInfo.h"
#include "convert/DeliveryStage.h"
#include "delivery/DeliverySettings.h"
#include "delivery/NormalisationGain.h"
#include "eq/band/EqBand.h"

// What a conversion decides about a delivery before and between its passes, in words where it
// says something: the reasons a delivery cannot be made, the output's layout, the lines of the
// normalising gain, and the band table with the gain in its preamp.

/// Why `settings` cannot be delivered for a source of `source`'s layout, in words ("the output
/// rate 1000 Hz lies outside 8000 to 384000 Hz"); empty when PlanDelivery makes a plan of it.
std::string DeliveryProblem(const delivery::DeliverySettings& settings,
                            const delivery::SourceShape& source);

/// Why this build cannot run the steps of `plan` (no loudness meter, no resampler); empty when
/// it can.
std::string MissingStepProblem(const delivery::DeliveryPlan& plan);

/// The wave info of the output `layout` describes for a source of `source`: its rate, channels
/// and encoding (the container kept full width: no narrower valid bits), the source's own tag
/// kind otherwise; a mix to mono of an extensible file gets the front centre as its speaker.
C_WavInfo OutputInfoFor(const I_WavInfo& source, const OutputLayout& layout);

/// Why a container of format type `outputType` cannot hold the output `output` describes, in
/// words; empty when it can. With `depthAsked`, a container that would store another depth than
/// the one asked for cannot hold it (FLAC stores neither 32-bit integers nor floats).
std::string ContainerProblem(std::uint32_t outputType, const I_WavInfo& output, bool depthAsked);

/// The line that says what the normalising gain could not do: the target not reached because
/// of the ceiling (and by how much), the output lowered to meet the ceiling, an output below the
/// gate not amplified; empty when the gain is what was wanted. `limitShortfallLu` is how far a
/// gain the preamp's range cut short falls below the one wanted (0: not cut).
std::string NormalisationText(const delivery::NormalisationGain& gain,
                              const delivery::DeliveryPlan& plan, double limitShortfallLu);

/// `table` with its preamp raised by `gainDb` as the design applies it: a preamp the design
/// leaves out (not a finite number, beyond kMaxPreampDb) counts as 0 dB; the result kept within
/// kMaxPreampDb either way. `applied` receives the gain actually added.
EqBandTable TableWithGain(const EqBandTable& table, double gainDb, double& applied);

/// A gain or level in dB with its sign and one decimal ("+3.2", "-1.0").
std::string SignedDb(double value);
