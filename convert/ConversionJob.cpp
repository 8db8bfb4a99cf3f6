#include "convert/ConversionJob.h"

#include <cmath>
#include <optional>
#include <stdexcept>

#include "LibProject/Audio/WaveFileUtil/WavFileFormat.h"
#include "LibProject/Audio/WaveFileUtil/sndfile/SndFile.h"
#include "eq/design/FilterChain.h"
#include "eq/fileio/FileSampleFormat.h"
#include "eq/fileio/StreamBlockFilter.h"
#include "eq/filter/PcmFilter.h"
#include "eq/filter/SampleStream.h"
#include "platform/fs/FileSystem.h"
#include "platform/fs/TempFileNames.h"
#include "platform/text/ExceptionText.h"
#include "platform/text/FormatText.h"
#include "platform/text/NumberText.h"
#include "platform/text/PrintableText.h"

namespace {

using platform::FormatText;
using platform::PrintableText;

constexpr const char* kInfo = "Information:";
constexpr const char* kError = "Error:";
constexpr const char* kEnd = "\r\n";

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

// Opens the source: a file whose samples can be streamed into the output with its header and
// infos only, any other with its samples loaded, as always.
T_RefPtr<I_WavFile> OpenSource(const ConversionJob& job, bool& streamed) {
  const std::string& sourcePath = job.sourcePath;
  C_WavFileFormat registry;
  streamed = false;
  if (job.wholeFile) {
    return registry.OpenFile(sourcePath, 1, 1);
  }
  T_RefPtr<I_WavFile> file = registry.OpenFile(sourcePath, 0, 1);
  // An empty data chunk takes the path that refuses it, as it always has.
  const std::uint32_t outputType = file ? OutputTypeFor(job.outputPath, file->GetFormatType()) : 0;
  if (file && file->CanStream() && file->GetSampleBytes64() > 0 &&
      (outputType == kFormatTypeWav || (IsSndFileType(outputType) && SndFileAvailable())) &&
      file->PrepareStream()) {
    const I_WavInfo* info = file->GetWavData()->GetWavInfo();
    if (info != nullptr && FilterFormatOf(*info)) {
      streamed = true;
      return file;
    }
  }
  file = T_RefPtr<I_WavFile>();
  return registry.OpenFile(sourcePath, 1, 1);
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
void NoteEndsEarly(ConversionJob& job, const C_SourceLength& length, std::uint64_t sampleBytes,
                   const I_WavInfo& info, const platform::LogSink& log) {
  const std::uint64_t frameBytes =
      static_cast<std::uint64_t>(info.GetChannels()) * (info.GetStorageBits() / 8U);
  if (!length.endsEarly || frameBytes == 0) {
    return;
  }
  job.endsEarly = true;
  job.framesRead = sampleBytes / frameBytes;
  job.statedFrames = length.statedFrames;
  if (length.statedFrames > 0) {
    log(FormatText("%sThe source ends early: %llu of %llu stated frames read.%s", kInfo,
                   static_cast<unsigned long long>(job.framesRead),
                   static_cast<unsigned long long>(length.statedFrames), kEnd));
  } else {
    log(FormatText("%sThe source ends early: %llu frames read, the end of its stream is missing.%s",
                   kInfo, static_cast<unsigned long long>(job.framesRead), kEnd));
  }
}

// True, with a line saying so, when the caller has asked the run to stop.
bool Cancelled(const std::atomic<bool>* cancel, const ConversionJob& job,
               const platform::LogSink& log) {
  if (cancel == nullptr || !cancel->load()) {
    return false;
  }
  log(FormatText("%sThe conversion was cancelled(%s).%s", kError,
                 PrintableText(job.sourcePath).c_str(), kEnd));
  return true;
}

// The clipping line, said when the limits changed a sample.
void LogClipping(const ClipStats& clipping, std::uint64_t total, const platform::LogSink& log) {
  if (clipping.clipped > 0) {
    log(FormatText("%sClipped %llu of %llu samples, peak %s dBFS.%s", kInfo,
                   static_cast<unsigned long long>(clipping.clipped),
                   static_cast<unsigned long long>(total),
                   platform::FormatFixed(clipping.PeakDbfs(), 2).c_str(), kEnd));
  }
}

// Records what the filtering found in the job.
void NoteFiltered(ConversionJob& job, SampleEncoding encoding, std::uint64_t total,
                  const ClipStats& clipping) {
  job.encoding = EncodingName(encoding);
  job.filteredSamples = total;
  job.clippedSamples = clipping.clipped;
  job.hasPeak = clipping.peak > 0.0 && std::isfinite(clipping.peak);
  job.peakDbfs = job.hasPeak ? clipping.PeakDbfs() : 0.0;
}

// The filtering and the write of a streamed WAVE file, one block at a time, with the lines the
// whole-file path prints in its order: the filter line, the clipping line, the write lines.
int StreamOne(ConversionJob& job, I_WavFile& file, const SampleFormat& format, FilterChain& chain,
              const platform::LogSink& log, const std::atomic<bool>* cancel, unsigned threads,
              ConversionProgress* progress) {
  if (Cancelled(cancel, job, log)) {
    return 0;
  }
  const std::size_t sampleBytes = SampleBytes(format.encoding);
  const auto stream =
      SampleStream::Create(BestFilterKernel(), format, chain, job.channels, threads);
  StreamBlockFilter filter(*stream, sampleBytes * job.channels, cancel, threads,
                           progress != nullptr ? &progress->frames : nullptr);
  const int written =
      file.StreamTo(job.outputPath, OutputTypeFor(job.outputPath, file.GetFormatType()), filter);
  const std::uint64_t total = file.GetSampleBytes64() / sampleBytes;
  const ClipStats clipping = stream->Stats();
  NoteFiltered(job, format.encoding, total, clipping);
  log(FormatText("%sApply the equalizer filter parameter.%s", kInfo, kEnd));
  if (written != 1 && filter.Stopped()) {
    (void)Cancelled(cancel, job, log);
    return 0;
  }
  LogClipping(clipping, total, log);
  job.writeResult = static_cast<std::uint32_t>(written);
  if (written != 1 && !file.GetWriteError().empty()) {
    log(FormatText("%sCan't write the output file(%s): %s.%s", kError,
                   PrintableText(job.outputPath).c_str(), file.GetWriteError().c_str(), kEnd));
  }
  log(FormatText("%sWrite to output file(%s).%s", written == 1 ? kInfo : kError,
                 PrintableText(job.outputPath).c_str(), kEnd));
  return written;
}

// One job; returns its result.
int ConvertOne(ConversionJob& job, const EqBandTable& bandTable, const platform::LogSink& log,
               const std::atomic<bool>* cancel, unsigned threads, DesignCache* designs,
               ConversionProgress* progress) {
  if (EndsWithSeparator(job.outputPath) || platform::DirectoryExists(job.outputPath)) {
    // Nothing is opened, written or deleted: a folder is never replaced by a file.
    log(FormatText("%sThe output path names a folder, not a file(%s).%s", kError,
                   PrintableText(job.outputPath).c_str(), kEnd));
    return 0;
  }
  T_RefPtr<I_WavFile> file;
  std::string loadError;
  bool streamed = false;
  try {
    file = OpenSource(job, streamed);
  } catch (const std::runtime_error& error) {
    loadError = error.what();
  }
  log(FormatText("%sOpen the file.(%s).%s", kInfo, PrintableText(job.sourcePath).c_str(), kEnd));
  if (!file) {
    if (!loadError.empty()) {
      log(FormatText("%s%s%s", kError, PrintableText(loadError).c_str(), kEnd));
    }
    log(FormatText("%sCan't open the file.(%s).%s", kError, PrintableText(job.sourcePath).c_str(),
                   kEnd));
    return 0;
  }

  const std::uint32_t type = file->GetFormatType();
  I_WavData* data = file->GetWavData();
  std::string name;
  if (GetFormatTypeName(type, name) == 1) {
    job.formatName = name;
    log(FormatText("%sFile format is %s.%s", kInfo, name.c_str(), kEnd));
  }
  if (data == nullptr || (type != kFormatTypeWav && !IsSndFileType(type))) {
    log(FormatText("%sUnsupported file format %s.%s", kError, name.c_str(), kEnd));
    return 0;
  }
  const I_WavInfo* info = data->GetWavInfo();
  if (info == nullptr) {
    return 1;
  }
  NoteEndsEarly(job, file->GetSourceLength(),
                streamed ? file->GetSampleBytes64() : info->GetDataLength(), *info, log);
  job.durationMs = info->GetDurationMs();
  if (streamed && file->GetSampleBytes64() > info->GetDataLength()) {
    // Beyond 4 GiB the wave info's 32-bit length stands at its limit; the file's own counts.
    const std::uint64_t frames =
        file->GetSampleBytes64() * 8 / info->GetStorageBits() / info->GetChannels();
    job.durationMs = DurationMs(frames, info->GetSampleRate());
  }
  job.dataLength = info->GetDataLength();
  job.sampleRate = info->GetSampleRate();
  if (progress != nullptr) {
    progress->sampleRate = job.sampleRate;
  }
  job.sampleFrames = info->GetSampleFrames();
  job.bitsPerSample = info->GetBitsPerSample();
  job.storageBits = info->GetStorageBits();
  job.channels = info->GetChannels();
  job.bytesPerSample = info->GetBytesPerSample();
  job.blockAlign = info->GetBlockAlign();
  job.bytesPerSecond = info->GetBytesPerSecond();
  job.signedFlag = info->GetSignedFlag();
  log(FormatText("%sTime:%d ms,SampleRate:%d Hz,BitPerSample:%d,Channel:%d.%s", kInfo,
                 static_cast<int>(job.durationMs), static_cast<int>(job.sampleRate),
                 job.bitsPerSample, job.channels, kEnd));

  if (Cancelled(cancel, job, log)) {
    return 0;
  }
  FilterChain chain;
  std::vector<BandSkip> skipped;
  const double rate = static_cast<double>(job.sampleRate);
  if (designs != nullptr) {
    designs->Design(rate, chain, skipped);
  } else {
    DesignBandFilters(bandTable, chain, rate, &skipped);
  }
  // An enabled band that does nothing to this file is named, so that nobody takes an unchanged
  // output for a filtered one.
  for (const BandSkip& skip : skipped) {
    log(FormatText("%s%s%s", kInfo, DescribeBandSkip(skip, rate).c_str(), kEnd));
  }
  job.bands = DescribeBandUse(bandTable, chain, skipped, rate);
  if (streamed) {
    const int result =
        StreamOne(job, *file, *FilterFormatOf(*info), chain, log, cancel, threads, progress);
    FreeFilterChain(chain);
    return result;
  }
  int result = 0;
  ClipStats clipping;
  std::uint64_t total = 0;
  if (const auto format = FilterFormatOf(*info)) {
    const std::uint32_t count =
        static_cast<std::uint32_t>(data->GetDataLength() / SampleBytes(format->encoding));
    total = count;
    result = FilterSamples(BestFilterKernel(), *format, data->GetBuffer(), count, chain,
                           job.channels, &clipping, threads);
    NoteFiltered(job, format->encoding, total, clipping);
  } else {
    log(FormatText("%sUnsupported %d-bit data.%s", kError, job.bitsPerSample, kEnd));
  }
  log(FormatText("%sApply the equalizer filter parameter.%s", result == 1 ? kInfo : kError, kEnd));
  if (result == 1) {
    // Said out loud: a file that clips gains this one line.
    LogClipping(clipping, total, log);
  }
  if (result == 1 && Cancelled(cancel, job, log)) {
    result = 0;
  } else if (result == 1 && data->GetDataLength() == 0) {
    // Nothing to write, and the reason lies with the source, not the output.
    log(FormatText("%sThe source holds no samples(%s).%s", kError,
                   PrintableText(job.sourcePath).c_str(), kEnd));
    log(FormatText("%sWrite to output file(%s).%s", kError, PrintableText(job.outputPath).c_str(),
                   kEnd));
    result = 0;
  } else if (result == 1) {
    // The write is atomic: an existing output is replaced only by the final rename, so a write
    // that fails leaves it as it was.
    const int written = data->SaveAs(OutputTypeFor(job.outputPath, type), job.outputPath);
    job.writeResult = static_cast<std::uint32_t>(written);
    result = written;
    if (written != 1 && !data->GetSaveError().empty()) {
      log(FormatText("%sCan't write the output file(%s): %s.%s", kError,
                     PrintableText(job.outputPath).c_str(), data->GetSaveError().c_str(), kEnd));
    }
    log(FormatText("%sWrite to output file(%s).%s", written == 1 ? kInfo : kError,
                   PrintableText(job.outputPath).c_str(), kEnd));
  }
  FreeFilterChain(chain);
  return result;
}

// ConvertOne, with any exception it lets out turned into a failed job with its reason.
int ConvertOneGuarded(ConversionJob& job, const EqBandTable& bandTable,
                      const platform::LogSink& log, const std::atomic<bool>* cancel,
                      unsigned threads, DesignCache* designs, ConversionProgress* progress) {
  std::string reason;
  try {
    return ConvertOne(job, bandTable, log, cancel, threads, designs, progress);
  } catch (...) {
    reason = platform::CurrentExceptionReason();
  }
  log(FormatText("%sThe conversion of the file stopped(%s): %s.%s", kError,
                 PrintableText(job.sourcePath).c_str(), PrintableText(reason).c_str(), kEnd));
  return 0;
}

}  // namespace

int ConvertFiles(std::vector<ConversionJob>& jobs, const EqBandTable& bandTable,
                 const platform::LogSink& log, const std::atomic<bool>* cancel) {
  int result = 1;
  platform::TempFileSweep sweep;
  for (ConversionJob& job : jobs) {
    if (result == 0) {
      break;
    }
    result = ConvertFile(job, bandTable, log, cancel, 0, nullptr, nullptr, &sweep);
  }
  return result;
}

int ConvertFile(ConversionJob& job, const EqBandTable& bandTable, const platform::LogSink& log,
                const std::atomic<bool>* cancel, unsigned threads, DesignCache* designs,
                ConversionProgress* progress, platform::TempFileSweep* sweep) {
  const int result = ConvertOneGuarded(job, bandTable, log, cancel, threads, designs, progress);
  if (result == 1) {
    // What killed conversions left in the output's folder goes once the first output is there.
    const std::string folder = platform::ParentFolder(job.outputPath);
    if (sweep != nullptr) {
      sweep->Sweep(folder, platform::kAtomicTempPrefix);
    } else {
      (void)platform::RemoveStaleTempFiles(folder, platform::kAtomicTempPrefix);
    }
  }
  return result;
}

std::vector<std::string> ConvertibleFileExtensions() { return ReadableFileExtensions(); }
