#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "eq/EqBand.h"
#include "platform/Console.h"

/// One file conversion: the caller sets the two paths, the conversion fills in the rest.
struct ConversionJob {
  std::string sourcePath;          ///< file to convert
  std::string outputPath;          ///< file to write
  std::uint32_t durationMs = 0;    ///< duration of the source, ms
  std::uint32_t dataLength = 0;    ///< sample data length, bytes
  std::uint32_t sampleRate = 0;    ///< Hz
  std::uint32_t sampleFrames = 0;  ///< frames
  std::uint16_t bitsPerSample = 0;
  std::uint16_t storageBits = 0;
  std::uint16_t channels = 0;
  std::uint16_t bytesPerSample = 0;
  std::uint16_t blockAlign = 0;
  std::uint32_t bytesPerSecond = 0;
  std::uint32_t signedFlag = 0;
  std::uint32_t writeResult = 0;  ///< value returned by the output write
};

/// Runs the jobs in order through the band table, reporting each step to `log`. Returns 1 when
/// every job ran to its end (also for an empty list) and 0 when a job failed and the run stopped.
int ConvertFiles(std::vector<ConversionJob>& jobs, const EqBandTable& bandTable,
                 const platform::LogSink& log);
