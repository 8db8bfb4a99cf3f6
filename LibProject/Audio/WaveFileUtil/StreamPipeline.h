#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "LibProject/Audio/WaveFileUtil/SampleReader.h"
#include "LibProject/Audio/WaveFileUtil/WavFile.h"

/// Passes `totalBytes` bytes of samples from `reader` through `filter` (Filter, then Pass, and
/// Finish at the end) to `write`, blocks of `blockFrames` frames at a time. Three blocks rotate:
/// while this thread filters one, a helper (when the filter has a thread to spare) writes out the
/// one before and reads the one after; otherwise this thread does that first, in the same order.
/// Whole samples are filtered, a last partial frame filled up with zeros as the whole-buffer pass
/// does; the bytes of a last partial sample are passed on as they are (left out when the filter
/// writes another layout, OutputInfo). Bytes the reader cannot
/// deliver are read as zeros. False on a failed write, or when the filter was stopped (`error` then
/// says so).
bool StreamSamples(I_SampleReader& reader, std::uint64_t totalBytes, std::size_t sampleBytes,
                   I_SampleBlockFilter& filter, std::size_t blockFrames,
                   const SampleBytesWriter& write, std::string& error);

/// The frames of a streamed write's blocks for frames of `frameBytes` bytes (blocks of 1 MiB,
/// which stay in the cache between the read, the filter and the write).
std::size_t StreamBlockFrames(std::size_t frameBytes);
