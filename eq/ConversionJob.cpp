#include "eq/ConversionJob.h"

#include "platform/FormatText.h"

// The wave-file reader and writer are not part of this build yet: every job reports that the
// conversion is not available and fails, so a caller never mistakes it for a written file.
int ConvertFiles(std::vector<ConversionJob>& jobs, const EqBandTable& /*bandTable*/,
                 const platform::LogSink& log) {
  if (jobs.empty()) {
    return 1;
  }
  const ConversionJob& job = jobs.front();
  log(platform::FormatText("%sOpen the file.(%s).%s", "Information:", job.sourcePath.c_str(),
                           "\r\n"));
  log(platform::FormatText("%sFile conversion is not available in this build.%s", "Error:",
                           "\r\n"));
  return 0;
}
