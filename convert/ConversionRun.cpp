#include "convert/ConversionRun.h"

#include <cmath>
#include <thread>
#include <utility>

#include "LibProject/Audio/WaveFileUtil/WavFileFormat.h"
#include "LibProject/Audio/WaveFileUtil/sndfile/SndFile.h"
#include "delivery/LoudnessMeter.h"
#include "eq/fileio/FileSampleFormat.h"
#include "platform/text/FormatText.h"
#include "platform/text/PrintableText.h"

namespace {

using conversion_detail::Conversion;
using conversion_detail::OutputTypeFor;
using platform::FormatText;
using platform::PrintableText;

// True when `file`, opened with its header and infos only, can be streamed into the job's
// output: its samples are read as the filtering pass reads them, into a container that is
// streamed (WAVE, or one written through libsndfile where the build has it). An empty data
// chunk takes the path that refuses it, as it always has.
bool StreamsInto(const ConversionJob& job, I_WavFile& file) {
  const std::uint32_t outputType = OutputTypeFor(job.outputPath, file.GetFormatType());
  if (!file.CanStream() || file.GetSampleBytes64() == 0 ||
      (outputType != kFormatTypeWav && !(IsSndFileType(outputType) && SndFileAvailable())) ||
      !file.PrepareStream()) {
    return false;
  }
  const I_WavInfo* info = file.GetWavData()->GetWavInfo();
  return info != nullptr && FilterFormatOf(*info).has_value();
}

// The loudness line of a written output, when the job asks for it.
void NoteLoudness(Conversion& run) {
  if (!run.job.sayLoudness) {
    return;
  }
  if (run.result.loudness.measured) {
    run.result.Information(LoudnessText(run.result.loudness));
  } else if (!delivery::LoudnessMeterAvailable()) {
    run.result.Information("Loudness not measured: this build has no loudness meter.");
  } else {
    run.result.Information(
        FormatText("Loudness not measured: the meter takes at most %u channels, not %u.",
                   delivery::LoudnessMeter::kMaxChannels, static_cast<unsigned>(run.job.channels)));
  }
}

}  // namespace

namespace conversion_detail {

// The container an output is written in: the one its name's extension asks for, else the
// source's own (a WAVE file libsndfile read for its encoding becomes a 16-bit PCM WAVE file;
// a protected source a plain WAVE file, as always).
std::uint32_t OutputTypeFor(const std::string& outputPath, std::uint32_t sourceType) {
  if (const std::uint32_t asked = FormatTypeForExtension(outputPath); asked != 0) {
    // ".ogg" names the container: an Opus source stays Opus in it.
    return asked == kFormatTypeOggVorbis && sourceType == kFormatTypeOpus ? kFormatTypeOpus : asked;
  }
  return sourceType == kFormatTypeSndWav ? kFormatTypeWav : sourceType;
}

const char* EncodingName(SampleEncoding encoding) {
  switch (encoding) {
    case SampleEncoding::Pcm8: return "pcm8";
    case SampleEncoding::Pcm16: return "pcm16";
    case SampleEncoding::Pcm24: return "pcm24";
    case SampleEncoding::Pcm32: return "pcm32";
    case SampleEncoding::Float32: return "float32";
    case SampleEncoding::Float64: return "float64";
  }
  return "";
}

// The source, opened once: a file whose samples can be streamed into the output with its header
// and infos only, any other with its samples then loaded into the same file object (a protected
// file is deciphered once). Null when no class of the registry reads it or its samples cannot
// be loaded; a load error is raised as the registry raises it.
T_RefPtr<I_WavFile> OpenSource(const ConversionJob& job, bool& streamed) {
  C_WavFileFormat registry;
  streamed = false;
  if (job.wholeFile) {
    return registry.OpenFile(job.sourcePath, 1, 1);
  }
  T_RefPtr<I_WavFile> file = registry.OpenFile(job.sourcePath, 0, 1);
  if (!file) {
    return file;
  }
  if (StreamsInto(job, *file)) {
    streamed = true;
    return file;
  }
  return LoadOpenedSamples(*file, 1) == 1 ? file : T_RefPtr<I_WavFile>();
}

// Whether the meter's parts may run on threads of their own: not when the conversion was
// given one thread (/jobs:1, or a batch running as many files as it has threads).
bool MeterThreads(const Conversion& run) {
  return run.threads == 0 ? std::thread::hardware_concurrency() != 1 : run.threads > 1;
}

// True, with a line saying so, when the caller has asked the run to stop.
bool Cancelled(Conversion& run) {
  if (run.cancel == nullptr || !run.cancel->load()) {
    return false;
  }
  run.result.Error(
      FormatText("The conversion was cancelled(%s).", PrintableText(run.job.sourcePath).c_str()));
  return true;
}

// The clipping line, said when the limits changed a sample.
void NoteClipping(Conversion& run) {
  if (std::string text = ClippingText(run.result.counts); !text.empty()) {
    run.result.Information(std::move(text));
  }
}

// Records what the filtering found.
void NoteFiltered(Conversion& run, SampleEncoding encoding, std::uint64_t total,
                  const ClipStats& clipping) {
  run.job.encoding = EncodingName(encoding);
  ClipCounts& counts = run.result.counts;
  counts.filteredSamples = total;
  counts.clippedSamples = clipping.clipped;
  counts.hasPeak = clipping.peak > 0.0 && std::isfinite(clipping.peak);
  counts.peakDbfs = clipping.PeakDbfs();
}

// The write's lines: the loudness of a written output when asked, or why the write failed
// when it says; then the write line itself. Returns whether the output was written.
bool NoteWritten(Conversion& run, int written, const std::string& writeError) {
  run.job.writeResult = static_cast<std::uint32_t>(written);
  if (written == 1) {
    NoteLoudness(run);
  } else {
    run.result.loudness = OutputLoudness{};  // nothing was written to be measured
  }
  const std::string output = PrintableText(run.job.outputPath);
  if (written != 1 && !writeError.empty()) {
    run.result.Error(
        FormatText("Can't write the output file(%s): %s.", output.c_str(), writeError.c_str()));
  }
  const std::string line = FormatText("Write to output file(%s).", output.c_str());
  if (written == 1) {
    run.result.Information(line);
  } else {
    run.result.Error(line);
  }
  return written == 1;
}

}  // namespace conversion_detail
