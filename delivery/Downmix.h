#pragma once

#include <span>

namespace delivery {

/// Mixes interleaved frames of `channels` channels into one channel: each frame's samples
/// added in channel order and divided by the channel count. `mono` holds one value per frame
/// and may be the start of `interleaved` itself (frame k is read before value k is written).
void DownmixToMono(std::span<const double> interleaved, unsigned channels, std::span<double> mono);

}  // namespace delivery
