#include "eq/ConversionJob.h"

#include <cmath>
#include <optional>
#include <stdexcept>

#include "LibProject/Audio/WaveFileUtil/SndFile.h"
#include "LibProject/Audio/WaveFileUtil/WavFileFormat.h"
#include "eq/FilterChain.h"
#include "eq/PcmFilter.h"
#include "platform/ExceptionText.h"
#include "platform/FileSystem.h"
#include "platform/FormatText.h"
#include "platform/NumberText.h"
#include "platform/TempFileNames.h"

namespace {

using platform::FormatText;

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

// The filtering pass's view of the samples a container holds; empty for a layout no pass reads
// (a width other than 8, 16, 24 or 32 bits, or a storage width different from it).
std::optional<SampleFormat> FilterFormatOf(const I_WavInfo& info) {
  const std::uint16_t bits = info.GetBitsPerSample();
  if (bits != info.GetStorageBits()) {
    return std::nullopt;
  }
  const C_WavEncoding& encoding = info.GetEncoding();
  if (encoding.sampleTag == kWaveTagFloat) {
    if (bits == 32 || bits == 64) {
      return SampleFormat{bits == 32 ? SampleEncoding::Float32 : SampleEncoding::Float64, 0};
    }
    return std::nullopt;
  }
  switch (bits) {
    case 8: return SampleFormat{SampleEncoding::Pcm8, encoding.validBits};
    case 16: return SampleFormat{SampleEncoding::Pcm16, encoding.validBits};
    case 24: return SampleFormat{SampleEncoding::Pcm24, encoding.validBits};
    case 32: return SampleFormat{SampleEncoding::Pcm32, encoding.validBits};
    default: return std::nullopt;
  }
}

// The container an output is written in: the one its name's extension asks for, else the
// source's own (a WAVE file libsndfile read for its encoding becomes a 16-bit PCM WAVE file;
// a protected source a plain WAVE file, as always).
std::uint32_t OutputTypeFor(const std::string& outputPath, std::uint32_t sourceType) {
  if (const std::uint32_t asked = FormatTypeForExtension(outputPath); asked != 0) {
    return asked;
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

// True, with a line saying so, when the caller has asked the run to stop.
bool Cancelled(const std::atomic<bool>* cancel, const ConversionJob& job,
               const platform::LogSink& log) {
  if (cancel == nullptr || !cancel->load()) {
    return false;
  }
  log(FormatText("%sThe conversion was cancelled(%s).%s", kError, job.sourcePath.c_str(), kEnd));
  return true;
}

// One job; returns its result.
int ConvertOne(ConversionJob& job, const EqBandTable& bandTable, const platform::LogSink& log,
               const std::atomic<bool>* cancel, unsigned threads) {
  if (EndsWithSeparator(job.outputPath) || platform::DirectoryExists(job.outputPath)) {
    // Nothing is opened, written or deleted: a folder is never replaced by a file.
    log(FormatText("%sThe output path names a folder, not a file(%s).%s", kError,
                   job.outputPath.c_str(), kEnd));
    return 0;
  }
  C_WavFileFormat registry;
  T_RefPtr<I_WavFile> file;
  std::string loadError;
  try {
    file = registry.OpenFile(job.sourcePath, 1, 1);
  } catch (const std::runtime_error& error) {
    loadError = error.what();
  }
  log(FormatText("%sOpen the file.(%s).%s", kInfo, job.sourcePath.c_str(), kEnd));
  if (!file) {
    if (!loadError.empty()) {
      log(FormatText("%s%s%s", kError, loadError.c_str(), kEnd));
    }
    log(FormatText("%sCan't open the file.(%s).%s", kError, job.sourcePath.c_str(), kEnd));
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
  job.durationMs = info->GetDurationMs();
  job.dataLength = info->GetDataLength();
  job.sampleRate = info->GetSampleRate();
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
  DesignBandFilters(bandTable, chain, rate, &skipped);
  // An enabled band that does nothing to this file is named, so that nobody takes an unchanged
  // output for a filtered one.
  for (const BandSkip& skip : skipped) {
    log(FormatText("%s%s%s", kInfo, DescribeBandSkip(skip, rate).c_str(), kEnd));
  }
  job.bands = DescribeBandUse(bandTable, chain, skipped, rate);
  int result = 0;
  ClipStats clipping;
  std::uint64_t total = 0;
  if (const auto format = FilterFormatOf(*info)) {
    const std::uint32_t count =
        static_cast<std::uint32_t>(data->GetDataLength() / SampleBytes(format->encoding));
    total = count;
    job.encoding = EncodingName(format->encoding);
    result = FilterSamples(BestFilterKernel(), *format, data->GetBuffer(), count, chain,
                           job.channels, &clipping, threads);
    job.filteredSamples = total;
    job.clippedSamples = clipping.clipped;
    job.hasPeak = clipping.peak > 0.0 && std::isfinite(clipping.peak);
    job.peakDbfs = job.hasPeak ? clipping.PeakDbfs() : 0.0;
  } else {
    log(FormatText("%sUnsupported %d-bit data.%s", kError, job.bitsPerSample, kEnd));
  }
  log(FormatText("%sApply the equalizer filter parameter.%s", result == 1 ? kInfo : kError, kEnd));
  if (result == 1 && clipping.clipped > 0) {
    // Said out loud: a file that clips gains this one line.
    log(FormatText("%sClipped %llu of %llu samples, peak %s dBFS.%s", kInfo,
                   static_cast<unsigned long long>(clipping.clipped),
                   static_cast<unsigned long long>(total),
                   platform::FormatFixed(clipping.PeakDbfs(), 2).c_str(), kEnd));
  }
  if (result == 1 && Cancelled(cancel, job, log)) {
    result = 0;
  } else if (result == 1) {
    // The write is atomic: an existing output is replaced only by the final rename, so a write
    // that fails leaves it as it was.
    const int written = data->SaveAs(OutputTypeFor(job.outputPath, type), job.outputPath);
    job.writeResult = static_cast<std::uint32_t>(written);
    result = written;
    if (written != 1 && !data->GetSaveError().empty()) {
      log(FormatText("%sCan't write the output file(%s): %s.%s", kError, job.outputPath.c_str(),
                     data->GetSaveError().c_str(), kEnd));
    }
    log(FormatText("%sWrite to output file(%s).%s", written == 1 ? kInfo : kError,
                   job.outputPath.c_str(), kEnd));
    if (written == 1) {
      // What killed conversions left in this folder goes now.
      (void)platform::RemoveStaleTempFiles(platform::ParentFolder(job.outputPath),
                                           platform::kAtomicTempPrefix);
    }
  }
  FreeFilterChain(chain);
  return result;
}

// ConvertOne, with any exception it lets out turned into a failed job with its reason.
int ConvertOneGuarded(ConversionJob& job, const EqBandTable& bandTable,
                      const platform::LogSink& log, const std::atomic<bool>* cancel,
                      unsigned threads) {
  std::string reason;
  try {
    return ConvertOne(job, bandTable, log, cancel, threads);
  } catch (...) {
    reason = platform::CurrentExceptionReason();
  }
  log(FormatText("%sThe conversion of the file stopped(%s): %s.%s", kError, job.sourcePath.c_str(),
                 reason.c_str(), kEnd));
  return 0;
}

}  // namespace

int ConvertFiles(std::vector<ConversionJob>& jobs, const EqBandTable& bandTable,
                 const platform::LogSink& log, const std::atomic<bool>* cancel) {
  int result = 1;
  for (ConversionJob& job : jobs) {
    if (result == 0) {
      break;
    }
    result = ConvertOneGuarded(job, bandTable, log, cancel, 0);
  }
  return result;
}

int ConvertFile(ConversionJob& job, const EqBandTable& bandTable, const platform::LogSink& log,
                const std::atomic<bool>* cancel, unsigned threads) {
  return ConvertOneGuarded(job, bandTable, log, cancel, threads);
}

std::vector<std::string> ConvertibleFileExtensions() { return ReadableFileExtensions(); }
