#pragma once

#include <optional>

#include "eq/filter/PcmFilter.h"

class I_WavInfo;

/// The filtering pass's view of the samples a container holds; empty for a layout no pass reads
/// (a width other than 8, 16, 24 or 32 bits, or a storage width different from it).
std::optional<SampleFormat> FilterFormatOf(const I_WavInfo& info);
