#pragma once

// One conversion in progress and the steps its passes share: the source opened once, the
// output's container, and the lines the run says. Internal to the room.
#include <atomic>
#include <cstdint>
#include <string>

#include "LibProject/Audio/WaveFileUtil/RefPtr.h"
#include "LibProject/Audio/WaveFileUtil/WavFile.h"
#include "convert/ConversionJob.h"
#include "convert/ConversionResult.h"
#include "eq/band/EqBand.h"
#include "eq/design/DesignCache.h"
#include "eq/filter/PcmFilter.h"
#include "eq/filter/SampleIo.h"

namespace conversion_detail {

// One conversion in progress: the job, what it is told, and the result it builds line by line.
struct Conversion {
  ConversionJob& job;
  const EqBandTable& bandTable;
  const std::atomic<bool>* cancel;
  unsigned threads;
  DesignCache* designs;
  ConversionProgress* progress;
  ConversionResult result;
};

// The container an output is written in: the one its name's extension asks for, else the
// source's own.
std::uint32_t OutputTypeFor(const std::string& outputPath, std::uint32_t sourceType);

// The name of a sample encoding as the job records it ("pcm16", "float32", ...).
const char* EncodingName(SampleEncoding encoding);

// The source, opened once, with its samples loaded unless they stream into the output
// (`streamed` says which); null when it cannot be read.
T_RefPtr<I_WavFile> OpenSource(const ConversionJob& job, bool& streamed);

// Whether the meter's parts may run on threads of their own.
bool MeterThreads(const Conversion& run);

// True, with a line saying so, when the caller has asked the run to stop.
bool Cancelled(Conversion& run);

// The clipping line, said when the limits changed a sample.
void NoteClipping(Conversion& run);

// Records what the filtering found.
void NoteFiltered(Conversion& run, SampleEncoding encoding, std::uint64_t total,
                  const ClipStats& clipping);

// The write's lines; returns whether the output was written.
bool NoteWritten(Conversion& run, int written, const std::string& writeError);

}  // namespace conversion_detail
