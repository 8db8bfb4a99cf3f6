#include "convert/ConversionJob.h"

#include <cmath>
#include <optional>
#include <stdexcept>

#include "LibProject/Audio/WaveFileUtil/WavFileFormat.h"
#include "LibProject/Audio/WaveFileUtil/sndfile/SndFile.h"
#include "convert/ConversionRun.h"
#include "convert/DeliveryPasses.h"
#include "convert/OutputMeter.h"
#include "eq/design/FilterChain.h"
#include "eq/fileio/FileSampleFormat.h"
#include "eq/filter/PcmFilter.h"
#include "platform/fs/FileSystem.h"
#include "platform/fs/TempFileNames.h"
#include "platform/text/ExceptionText.h"
#include "platform/text/FormatText.h"
#include "platform/text/PrintableText.h"

namespace {

using conversion_detail::Cancelled;
using conversion_detail::Conversion;
using conversion_detail::DeliverOne;
using conversion_detail::MeterThreads;
using conversion_detail::NoteClipping;
using conversion_detail::NoteFiltered;
using conversion_detail::NoteWritten;
using conversion_detail::OpenSource;
using conversion_detail::OutputTypeFor;
using conversion_detail::StreamOne;
using platform::FormatText;
using platform::PrintableText;

bool EndsWithSeparator(const std::string& path) {
#if defined(_WIN32)
  return !path.empty() && (path.back() == '/' || path.back() == '\\');
#else
  return !path.empty() && path.back() == '/';
#endif
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

// The duration in ms of `frames` frames at `rate` Hz, as the wave info computes it.
std::uint32_t DurationMs(std::uint64_t frames, std::uint32_t rate) {
  if (rate == 0) {
    return 0;
  }
  const double ms = static_cast<double>(frames) / static_cast<double>(rate) * 1000.0;
  return ms >= 4294967295.0 ? 0xFFFFFFFFU : static_cast<std::uint32_t>(std::trunc(ms));
}

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
