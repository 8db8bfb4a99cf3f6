#pragma once

// The passes that stream a source into its output: the write, through the delivery steps when
// the job asks for them, and the measuring pass before it of a loudness step. Internal to the
// room.
#include "LibProject/Audio/WaveFileUtil/WavFile.h"
#include "convert/ConversionRun.h"
#include "eq/design/FilterChain.h"
#include "eq/filter/PcmFilter.h"

namespace conversion_detail {

struct Delivery;

// The filtering and the write of a streamed file, one block at a time, with the lines the
// whole-file path prints in its order: the filter line, the clipping line, the write lines.
// With `delivery`, the samples go through its steps on their way out.
bool StreamOne(Conversion& run, I_WavFile& file, const SampleFormat& format, FilterChain& chain,
               const Delivery* delivery = nullptr);

// A job with delivery steps: the plan for this source, the checks that nothing is started
// that cannot end (a step this build lacks, a container that cannot hold the output), the
// measuring pass of a loudness step, then the pass that writes.
bool DeliverOne(Conversion& run, I_WavFile& file, const SampleFormat& format, FilterChain& chain);

}  // namespace conversion_detail
