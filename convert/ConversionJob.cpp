#include "convert/ConversionJob.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <optional>
#include <stdexcept>
#include <thread>

#include "LibProject/Audio/WaveFileUtil/WavFileFormat.h"
#include "LibProject/Audio/WaveFileUtil/sndfile/SndFile.h"
#include "convert/DeliveryBlockFilter.h"
#include "convert/DeliveryPlanning.h"
#include "convert/DeliveryStage.h"
#include "convert/OutputMeter.h"
#include "delivery/LoudnessMeter.h"
#include "delivery/NormalisationGain.h"
#include "eq/design/FilterChain.h"
#include "eq/fileio/FileSampleFormat.h"
#include "eq/fileio/StreamBlockFilter.h"
#include "eq/filter/PcmFilter.h"
#include "eq/filter/SampleStream.h"
#include "platform/fs/FileSystem.h"
#include "platform/fs/TempFileNames.h"
#include "platform/text/ExceptionText.h"
#include "platform/text/FormatText.h"
#include "platform/text/PrintableText.h"

namespace {

using platform::FormatText;
using platform::PrintableText;

bool EndsWithSeparator(const std::string& path) {
#if defined(_WIN32)
  return !path.empty() && (path.back() == '/' || path.back() == '\\');
#else
  return !path.empty() && path.back() == '/';
#endif
}

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

// Every enabled band of `bandTable` with what the design made of it.
std::vector<BandUse> DescribeBandUse(const EqBandTable& bandTable, const FilterChain& chain,
                                     const std::vector<BandSkip>& skipped, double rate) {
  std::vector<BandUse> uses;
  for (const EqBand& band : bandTable) {
    if (band.enable != 1) {
      continue;
    }
    BandUse use{band.index, band.type, 0, false, {}};
    for (const FilterEntry& entry : chain.entries) {
      if (entry.bandIndex == band.index && entry.kind == band.type) {
        use.applied = true;
        use.order = entry.highLow ? entry.highLow->order : 0;
      }
    }
    for (const BandSkip& skip : skipped) {
      if (skip.index == band.index && !use.applied) {
        use.reason = DescribeBandSkip(skip, rate);
      }
    }
    uses.push_back(std::move(use));
  }
  return uses;
}

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

// The duration in ms of `frames` frames at `rate` Hz, as the wave info computes it.
std::uint32_t DurationMs(std::uint64_t frames, std::uint32_t rate) {
  if (rate == 0) {
    return 0;
  }
  const double ms = static_cast<double>(frames) / static_cast<double>(rate) * 1000.0;
  return ms >= 4294967295.0 ? 0xFFFFFFFFU : static_cast<std::uint32_t>(std::trunc(ms));
}

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

// The line of a source whose samples end before the length its header states, and the same in
// the job.
void NoteEndsEarly(Conversion& run, const C_SourceLength& length, std::uint64_t sampleBytes,
                   const I_WavInfo& info) {
  const std::uint64_t frameBytes =
      static_cast<std::uint64_t>(info.GetChannels()) * (info.GetStorageBits() / 8U);
  if (!length.endsEarly || frameBytes == 0) {
    return;
  }
  ConversionJob& job = run.job;
  job.endsEarly = true;
  job.framesRead = sampleBytes / frameBytes;
  job.statedFrames = length.statedFrames;
  if (length.statedFrames > 0) {
    run.result.Information(FormatText("The source ends early: %llu of %llu stated frames read.",
                                      static_cast<unsigned long long>(job.framesRead),
                                      static_cast<unsigned long long>(length.statedFrames)));
  } else {
    run.result.Information(
        FormatText("The source ends early: %llu frames read, the end of its stream is missing.",
                   static_cast<unsigned long long>(job.framesRead)));
  }
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

// Opens the source and names it; the file, or null with the reason said.
T_RefPtr<I_WavFile> OpenAndName(Conversion& run, bool& streamed) {
  T_RefPtr<I_WavFile> file;
  std::string loadError;
  try {
    file = OpenSource(run.job, streamed);
  } catch (const std::runtime_error& error) {
    loadError = error.what();
  }
  const std::string source = PrintableText(run.job.sourcePath);
  run.result.Information(FormatText("Open the file.(%s).", source.c_str()));
  if (!file) {
    if (!loadError.empty()) {
      run.result.Error(PrintableText(loadError));
    }
    run.result.Error(FormatText("Can't open the file.(%s).", source.c_str()));
  }
  return file;
}

// Names the source's format; the wave info of a format the conversion reads, else null with
// the reason said. Every container of the registry's classes holds its wave info, so a
// container without one is refused as an unsupported format, which cannot happen.
const I_WavInfo* CheckFormat(Conversion& run, I_WavFile& file) {
  const std::uint32_t type = file.GetFormatType();
  I_WavData* data = file.GetWavData();
  std::string name;
  if (GetFormatTypeName(type, name) == 1) {
    run.job.formatName = name;
    run.result.Information(FormatText("File format is %s.", name.c_str()));
  }
  const I_WavInfo* info = data != nullptr ? data->GetWavInfo() : nullptr;
  if (info == nullptr || (type != kFormatTypeWav && !IsSndFileType(type))) {
    run.result.Error(FormatText("Unsupported file format %s.", name.c_str()));
    return nullptr;
  }
  return info;
}

// Copies what the wave info says into the job and says it in the time line.
void DescribeSource(Conversion& run, I_WavFile& file, const I_WavInfo& info, bool streamed) {
  ConversionJob& job = run.job;
  NoteEndsEarly(run, file.GetSourceLength(),
                streamed ? file.GetSampleBytes64() : info.GetDataLength(), info);
  job.durationMs = info.GetDurationMs();
  if (streamed && file.GetSampleBytes64() > info.GetDataLength()) {
    // Beyond 4 GiB the wave info's 32-bit length stands at its limit; the file's own counts.
    const std::uint64_t frames =
        file.GetSampleBytes64() * 8 / info.GetStorageBits() / info.GetChannels();
    job.durationMs = DurationMs(frames, info.GetSampleRate());
  }
  job.dataLength = info.GetDataLength();
  job.sampleRate = info.GetSampleRate();
  if (run.progress != nullptr) {
    run.progress->sampleRate = job.sampleRate;
  }
  job.sampleFrames = info.GetSampleFrames();
  job.bitsPerSample = info.GetBitsPerSample();
  job.storageBits = info.GetStorageBits();
  job.channels = info.GetChannels();
  job.bytesPerSample = info.GetBytesPerSample();
  job.blockAlign = info.GetBlockAlign();
  job.bytesPerSecond = info.GetBytesPerSecond();
  job.signedFlag = info.GetSignedFlag();
  run.result.Information(FormatText(
      "Time:%d ms,SampleRate:%d Hz,BitPerSample:%d,Channel:%d.", static_cast<int>(job.durationMs),
      static_cast<int>(job.sampleRate), job.bitsPerSample, job.channels));
}

// Designs the bands at the file's rate into `chain`, naming every enabled band that does
// nothing to this file, so that nobody takes an unchanged output for a filtered one.
void DesignForFile(Conversion& run, FilterChain& chain) {
  std::vector<BandSkip> skipped;
  const double rate = static_cast<double>(run.job.sampleRate);
  if (run.designs != nullptr) {
    run.designs->Design(rate, chain, skipped);
  } else {
    DesignBandFilters(run.bandTable, chain, rate, &skipped);
  }
  for (const BandSkip& skip : skipped) {
    run.result.Information(DescribeBandSkip(skip, rate));
  }
  run.job.bands = DescribeBandUse(run.bandTable, chain, skipped, rate);
}

// What a delivery decided for the pass that writes: its plan and the output's layout.
struct Delivery {
  delivery::DeliveryPlan plan;
  C_WavInfo output;       // the output's wave info
  bool reshapes = false;  // a rate, channels or depth step: the delivery stage runs
};

bool Has(const delivery::DeliveryPlan& plan, delivery::DeliveryStep step) {
  return std::find(plan.steps.begin(), plan.steps.end(), step) != plan.steps.end();
}

// The line of output samples the output depth's limits changed, and the same in the result.
void NoteOutputClipping(Conversion& run, const DeliveryStage& stage) {
  run.result.delivery.clippedSamples = stage.Clipped();
  if (stage.Clipped() == 0) {
    return;
  }
  const std::uint64_t samples = stage.OutputBytes() / SampleBytes(stage.Output().encoding);
  run.result.Information(FormatText("Clipped %llu of %llu samples at the output's depth.",
                                    static_cast<unsigned long long>(stage.Clipped()),
                                    static_cast<unsigned long long>(samples)));
}

// The filtering and the write of a streamed file, one block at a time, with the lines the
// whole-file path prints in its order: the filter line, the clipping line, the write lines.
// With `delivery`, the samples go through its steps on their way out.
bool StreamOne(Conversion& run, I_WavFile& file, const SampleFormat& format, FilterChain& chain,
               const Delivery* delivery = nullptr) {
  if (Cancelled(run)) {
    return false;
  }
  ConversionJob& job = run.job;
  const std::size_t sampleBytes = SampleBytes(format.encoding);
  std::unique_ptr<DeliveryStage> stage;
  if (delivery != nullptr && delivery->reshapes) {
    stage = DeliveryStage::Create(delivery->plan, format.encoding, job.channels, job.sampleRate,
                                  file.GetSampleBytes64(), false);
    if (!stage) {
      run.result.Error(FormatText("The output's rate cannot be made(%s).",
                                  PrintableText(job.sourcePath).c_str()));
      return false;
    }
    if (delivery->plan.outputRate != job.sampleRate) {
      // The markers stay at their instants.
      RescaleMarkers(*file.GetWavData(), job.sampleRate, delivery->plan.outputRate);
    }
  }
  const auto stream =
      SampleStream::Create(BestFilterKernel(), format, chain, job.channels, run.threads);
  StreamBlockFilter equalizer(*stream, sampleBytes * job.channels, run.cancel, run.threads,
                              run.progress != nullptr ? &run.progress->frames : nullptr);
  std::unique_ptr<OutputMeter> meter;
  if (job.measureOutput || job.sayLoudness) {
    meter = stage ? OutputMeter::Create(stage->Output().encoding, stage->Output().channels,
                                        stage->Output().rate, MeterThreads(run))
                  : OutputMeter::Create(format.encoding, job.channels, job.sampleRate,
                                        MeterThreads(run));
  }
  DeliveryBlockFilter filter(equalizer, stage.get(),
                             delivery != nullptr ? &delivery->output : nullptr, meter.get());
  const int written =
      file.StreamTo(job.outputPath, OutputTypeFor(job.outputPath, file.GetFormatType()), filter);
  NoteFiltered(run, format.encoding, file.GetSampleBytes64() / sampleBytes, stream->Stats());
  run.result.Information("Apply the equalizer filter parameter.");
  if (written != 1 && filter.Stopped()) {
    (void)Cancelled(run);
    return false;
  }
  NoteClipping(run);
  if (stage) {
    NoteOutputClipping(run, *stage);
  }
  if (written == 1 && meter) {
    run.result.loudness = meter->Finish();
  }
  return NoteWritten(run, written, file.GetWriteError());
}

// Designs the job's bands at the file's rate again into a fresh `chain`, without lines.
void DesignAgain(Conversion& run, FilterChain& chain) {
  const double rate = static_cast<double>(run.job.sampleRate);
  std::vector<BandSkip> skipped;
  if (run.designs != nullptr) {
    run.designs->Design(rate, chain, skipped);
  } else {
    (void)DesignBandFilters(run.bandTable, chain, rate, &skipped);
  }
}

// The first pass of a delivery with a loudness step: the source filtered (and taken to the
// output's rate and channels) and measured, nothing written. Returns the gain to apply through
// the preamp, saying what it could not do; empty, with the reason said, when the pass failed.
std::optional<double> MeasureGain(Conversion& run, const SampleFormat& format,
                                  const delivery::DeliveryPlan& plan) {
  ConversionJob& job = run.job;
  const std::string source = PrintableText(job.sourcePath);
  bool streamed = false;
  const T_RefPtr<I_WavFile> again = OpenSource(job, streamed);
  if (!again || !streamed) {
    run.result.Error(
        FormatText("The source cannot be read for its loudness measurement(%s).", source.c_str()));
    return std::nullopt;
  }
  FilterChain chain;
  DesignAgain(run, chain);
  // The equalizer's output as 64-bit floats, before the limits of the source's encoding.
  const auto stream =
      SampleStream::Create(BestFilterKernel(), SampleFormat{SampleEncoding::Float64, 0}, chain,
                           job.channels, run.threads);
  // The loudness the output will have without the gain: after the rate and channel steps,
  // before the depth, whose dither and rounding a gain does not scale.
  const std::uint64_t frames =
      again->GetSampleBytes64() / (SampleBytes(format.encoding) * job.channels);
  std::unique_ptr<DeliveryStage> stage;
  if (Has(plan, delivery::DeliveryStep::Rate) || Has(plan, delivery::DeliveryStep::Channels)) {
    stage = DeliveryStage::Create(plan, SampleEncoding::Float64, job.channels, job.sampleRate,
                                  frames * job.channels * sizeof(double), true);
  }
  const std::unique_ptr<OutputMeter> meter =
      stage ? OutputMeter::Create(stage->Output().encoding, stage->Output().channels,
                                  stage->Output().rate, MeterThreads(run))
            : OutputMeter::Create(SampleEncoding::Float64, job.channels, job.sampleRate,
                                  MeterThreads(run));
  if (!meter || (!stage && plan.outputRate != job.sampleRate)) {
    run.result.Error(
        FormatText("The loudness of the source cannot be measured(%s).", source.c_str()));
    return std::nullopt;
  }
  MeasuringBlockFilter filter(*stream, format.encoding, job.channels, stage.get(), *meter,
                              run.cancel);
  if (again->StreamThrough(filter) != 1) {
    if (!Cancelled(run)) {
      run.result.Error(FormatText("The loudness measurement of the source stopped(%s): %s.",
                                  source.c_str(), again->GetWriteError().c_str()));
    }
    return std::nullopt;
  }
  const OutputLoudness measured = meter->Finish();
  const delivery::NormalisationGain gain = delivery::ComputeNormalisationGain(
      measured.integratedLufs, measured.truePeakDbtp, plan.targetLufs, plan.ceilingDbtp);
  double applied = 0.0;
  (void)TableWithGain(run.bandTable, gain.gainDb, applied);
  if (std::string text = NormalisationText(gain, plan, std::max(0.0, gain.gainDb - applied));
      !text.empty()) {
    run.result.delivery.gainNote = text;
    run.result.Information(std::move(text));
  }
  return applied;
}

// A job with delivery steps: the plan for this source, the checks that nothing is started
// that cannot end (a step this build lacks, a container that cannot hold the output), the
// measuring pass of a loudness step, then the pass that writes.
bool DeliverOne(Conversion& run, I_WavFile& file, const SampleFormat& format, FilterChain& chain) {
  ConversionJob& job = run.job;
  const std::string source = PrintableText(job.sourcePath);
  const delivery::SourceShape shape{.sampleRate = job.sampleRate,
                                    .channels = job.channels,
                                    .bits = static_cast<unsigned>(SampleBytes(format.encoding) * 8),
                                    .isFloat = format.encoding == SampleEncoding::Float32 ||
                                               format.encoding == SampleEncoding::Float64};
  std::string problem = DeliveryProblem(job.delivery, shape);
  const auto plan = problem.empty() ? delivery::PlanDelivery(job.delivery, shape) : std::nullopt;
  if (plan) {
    problem = MissingStepProblem(*plan);
  }
  if (!problem.empty()) {
    run.result.Error(
        FormatText("The output cannot be made as asked(%s): %s.", source.c_str(), problem.c_str()));
    return false;
  }
  Delivery delivery{*plan, {}, false};
  delivery.reshapes = Has(*plan, delivery::DeliveryStep::Rate) ||
                      Has(*plan, delivery::DeliveryStep::Channels) ||
                      Has(*plan, delivery::DeliveryStep::Depth);
  const OutputLayout layout{plan->outputRate, plan->outputChannels,
                            plan->depth ? EncodingOfDepth(*plan->depth) : format.encoding};
  delivery.output = OutputInfoFor(*file.GetWavData()->GetWavInfo(), layout);
  if (delivery.reshapes) {
    problem = ContainerProblem(OutputTypeFor(job.outputPath, file.GetFormatType()), delivery.output,
                               plan->depth.has_value());
    if (!problem.empty()) {
      // Said as the writer says it, before anything is read or written.
      const std::string output = PrintableText(job.outputPath);
      run.result.Error(
          FormatText("Can't write the output file(%s): %s.", output.c_str(), problem.c_str()));
      run.result.Error(FormatText("Write to output file(%s).", output.c_str()));
      return false;
    }
  }
  DeliveryApplied& applied = run.result.delivery;
  applied.sampleRate = layout.rate;
  applied.channels = layout.channels;
  applied.encoding = EncodingName(layout.encoding);
  applied.dithered = delivery.reshapes && plan->dither;
  FilterChain raisedChain;
  FilterChain* writing = &chain;
  if (Has(*plan, delivery::DeliveryStep::Gain)) {
    const std::optional<double> gain = MeasureGain(run, format, *plan);
    if (!gain) {
      return false;
    }
    applied.gainDb = *gain;
    if (*gain != 0.0) {
      // One gain stage: the preamp's, so that the output is the conversion with the preamp
      // raised by the gain, bit for bit.
      double added = 0.0;
      const EqBandTable raised = TableWithGain(run.bandTable, *gain, added);
      (void)DesignBandFilters(raised, raisedChain, static_cast<double>(job.sampleRate), nullptr);
      writing = &raisedChain;
    }
  }
  return StreamOne(run, file, format, *writing, &delivery);
}

// Filters the samples loaded into `data` in place; says so, and any clipping. False when the
// samples are of a layout no pass reads.
bool FilterLoaded(Conversion& run, I_WavData& data, const I_WavInfo& info, FilterChain& chain) {
  int filtered = 0;
  if (const auto format = FilterFormatOf(info)) {
    const std::uint32_t count =
        static_cast<std::uint32_t>(data.GetDataLength() / SampleBytes(format->encoding));
    ClipStats clipping;
    filtered = FilterSamples(BestFilterKernel(), *format, data.GetBuffer(), count, chain,
                             run.job.channels, &clipping, run.threads);
    NoteFiltered(run, format->encoding, count, clipping);
  } else {
    run.result.Error(FormatText("Unsupported %d-bit data.", run.job.bitsPerSample));
  }
  if (filtered != 1) {
    run.result.Error("Apply the equalizer filter parameter.");
    return false;
  }
  run.result.Information("Apply the equalizer filter parameter.");
  // Said out loud: a file that clips gains this one line.
  NoteClipping(run);
  return true;
}

// The loudness and peaks of the filtered samples loaded into `data`, as they will be written.
void MeasureLoaded(Conversion& run, I_WavData& data, const I_WavInfo& info) {
  const auto format = FilterFormatOf(info);
  if ((!run.job.measureOutput && !run.job.sayLoudness) || !format) {
    return;
  }
  if (const auto meter = OutputMeter::Create(format->encoding, run.job.channels, run.job.sampleRate,
                                             MeterThreads(run))) {
    meter->Add(data.GetBuffer(), data.GetDataLength());
    run.result.loudness = meter->Finish();
  }
}

// Writes the filtered samples of `data` to the output. The write is atomic: an existing output
// is replaced only by the final rename, so a write that fails leaves it as it was.
bool WriteLoaded(Conversion& run, I_WavData& data, std::uint32_t sourceType) {
  if (data.GetDataLength() == 0) {
    // Nothing to write, and the reason lies with the source, not the output.
    run.result.Error(
        FormatText("The source holds no samples(%s).", PrintableText(run.job.sourcePath).c_str()));
    run.result.Error(
        FormatText("Write to output file(%s).", PrintableText(run.job.outputPath).c_str()));
    return false;
  }
  const int written =
      data.SaveAs(OutputTypeFor(run.job.outputPath, sourceType), run.job.outputPath);
  return NoteWritten(run, written, data.GetSaveError());
}

// The steps of one job: open, check, describe, design, then stream, or filter and write.
bool ConvertOne(Conversion& run) {
  if (EndsWithSeparator(run.job.outputPath) || platform::DirectoryExists(run.job.outputPath)) {
    // Nothing is opened, written or deleted: a folder is never replaced by a file.
    run.result.Error(FormatText("The output path names a folder, not a file(%s).",
                                PrintableText(run.job.outputPath).c_str()));
    return false;
  }
  bool streamed = false;
  const T_RefPtr<I_WavFile> file = OpenAndName(run, streamed);
  if (!file) {
    return false;
  }
  const I_WavInfo* info = CheckFormat(run, *file);
  if (info == nullptr) {
    return false;
  }
  DescribeSource(run, *file, *info, streamed);
  if (Cancelled(run)) {
    return false;
  }
  FilterChain chain;
  DesignForFile(run, chain);
  const std::optional<SampleFormat> format = FilterFormatOf(*info);
  if (run.job.delivery != delivery::DeliverySettings{}) {
    run.result.delivery.asked = true;
    if (streamed) {
      return DeliverOne(run, *file, *format, chain);
    }
    if (format && file->GetWavData()->GetDataLength() > 0) {
      // Every source with samples the filters read streams, but for the test of the whole-file
      // path; the delivery steps run only where they stream.
      run.result.Error(
          FormatText("The output cannot be made as asked(%s): the delivery steps "
                     "run only on a streamed conversion.",
                     PrintableText(run.job.sourcePath).c_str()));
      return false;
    }
  }
  if (streamed) {
    return StreamOne(run, *file, *format, chain);
  }
  I_WavData& data = *file->GetWavData();
  if (!FilterLoaded(run, data, *info, chain) || Cancelled(run)) {
    return false;
  }
  MeasureLoaded(run, data, *info);
  return WriteLoaded(run, data, file->GetFormatType());
}

// ConvertOne, with any exception it lets out turned into a failed job with its reason.
void ConvertOneGuarded(Conversion& run) {
  std::string reason;
  try {
    run.result.outcome = ConvertOne(run) ? ConversionStatus::Converted : ConversionStatus::Failed;
    return;
  } catch (...) {
    reason = platform::CurrentExceptionReason();
  }
  run.result.outcome = ConversionStatus::Failed;
  run.result.Error(FormatText("The conversion of the file stopped(%s): %s.",
                              PrintableText(run.job.sourcePath).c_str(),
                              PrintableText(reason).c_str()));
}

}  // namespace

int ConvertFiles(std::vector<ConversionJob>& jobs, const EqBandTable& bandTable,
                 const platform::LogSink& log, const std::atomic<bool>* cancel) {
  platform::TempFileSweep sweep;
  for (ConversionJob& job : jobs) {
    const ConversionResult result =
        ConvertFile(job, bandTable, cancel, 0, nullptr, nullptr, &sweep);
    log(RenderTranscript(result.lines));
    if (!result.Converted()) {
      return 0;
    }
  }
  return 1;
}

ConversionResult ConvertFile(ConversionJob& job, const EqBandTable& bandTable,
                             const std::atomic<bool>* cancel, unsigned threads,
                             DesignCache* designs, ConversionProgress* progress,
                             platform::TempFileSweep* sweep) {
  Conversion run{job, bandTable, cancel, threads, designs, progress, {}};
  ConvertOneGuarded(run);
  if (run.result.Converted()) {
    // What killed conversions left in the output's folder goes once the first output is there.
    const std::string folder = platform::ParentFolder(job.outputPath);
    if (sweep != nullptr) {
      sweep->Sweep(folder, platform::kAtomicTempPrefix);
    } else {
      (void)platform::RemoveStaleTempFiles(folder, platform::kAtomicTempPrefix);
    }
  }
  return std::move(run.result);
}

std::vector<std::string> ConvertibleFileExtensions() { return ReadableFileExtensions(); }
