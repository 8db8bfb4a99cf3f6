#include "eq/ConversionJob.h"

#include <cstdio>
#include <filesystem>
#include <stdexcept>

#include "LibProject/Audio/WaveFileUtil/WavFileFormat.h"
#include "eq/FilterChain.h"
#include "eq/PcmFilter.h"
#include "platform/FileSystem.h"
#include "platform/FormatText.h"

namespace {

using platform::FormatText;

constexpr const char* kInfo = "Information:";
constexpr const char* kError = "Error:";
constexpr const char* kEnd = "\r\n";

bool IsSameFile(const std::string& a, const std::string& b) {
  std::error_code ec;
  return std::filesystem::equivalent(a, b, ec) && !ec;
}

// One job; returns its result.
int ConvertOne(ConversionJob& job, const EqBandTable& bandTable, const platform::LogSink& log) {
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
    log(FormatText("%sFile format is %s.%s", kInfo, name.c_str(), kEnd));
  }
  if (data == nullptr || type != kFormatTypeWav) {
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

  FilterChain chain;
  DesignBandFilters(bandTable, chain, static_cast<double>(job.sampleRate));
  int result = 0;
  if (job.bitsPerSample == 16 && job.storageBits == 16) {
    result = FilterPcm16(reinterpret_cast<std::int16_t*>(data->GetBuffer()), data->GetDataLength() / 2,
                         chain, job.channels);
  } else if (job.bitsPerSample == 8 && job.storageBits == 8) {
    result = FilterPcm8(data->GetBuffer(), data->GetDataLength(), chain, job.channels);
  } else {
    log(FormatText("%sUnsupported %d-bit data.%s", kError, job.bitsPerSample, kEnd));
  }
  log(FormatText("%sApply the equalizer filter parameter.%s", result == 1 ? kInfo : kError, kEnd));
  if (result == 1) {
    // The write replaces the output atomically. A file in the way is deleted first, unless it
    // is the source itself: then a failed write must not have destroyed the only copy.
    if (platform::PathExists(job.outputPath) && !IsSameFile(job.outputPath, job.sourcePath)) {
      (void)RemoveExistingFile(job.outputPath);
    }
    const int written = data->SaveAs(kFormatTypeWav, job.outputPath);
    job.writeResult = static_cast<std::uint32_t>(written);
    result = written;
    log(FormatText("%sWrite to output file(%s).%s", written == 1 ? kInfo : kError,
                   job.outputPath.c_str(), kEnd));
  }
  FreeFilterChain(chain);
  return result;
}

}  // namespace

int RemoveExistingFile(const std::string& path) {
  if (path.empty()) {
    return 0;
  }
  std::FILE* probe = std::fopen(path.c_str(), "rb");
  if (probe == nullptr) {
    return 2;
  }
  std::fclose(probe);
  (void)platform::DeleteFilePath(path);
  return 1;
}

int ConvertFiles(std::vector<ConversionJob>& jobs, const EqBandTable& bandTable,
                 const platform::LogSink& log) {
  int result = 1;
  for (ConversionJob& job : jobs) {
    if (result == 0) {
      break;
    }
    result = ConvertOne(job, bandTable, log);
  }
  return result;
}
