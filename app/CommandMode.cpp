#include "app/CommandMode.h"

#include <vector>

#include "eq/ConversionJob.h"
#include "eq/ConversionReport.h"
#include "platform/FormatText.h"

int RunCommandMode(const CommandOptions& options, const EqBandTable& bandTable,
                   const SettingsLoadReport* settings, const platform::LogSink& log) {
  ConversionJob job;
  job.sourcePath = options.convertSourcePath;
  job.outputPath = options.convertOutputPath;
  int result = 0;
  if (job.outputPath.empty()) {
    job.outputPath = DefaultOutputPath(job.sourcePath);
  }
  if (settings != nullptr && settings->status != SettingsLoadStatus::Loaded) {
    log(platform::FormatText("%sCan't load EQ index %d from the settings file(%s): %s.%s",
                             "Error:", options.eqIndex, options.accessSettingPath.c_str(),
                             settings->reason.c_str(), "\r\n"));
  } else if (job.outputPath.empty()) {
    // Writing to a made-up name would surprise the caller more than a clear refusal.
    log(
        platform::FormatText("%sCan't form the output path from the source path(%s). Please "
                             "use /convert_output to name the output file.%s",
                             "Error:", job.sourcePath.c_str(), "\r\n"));
  } else {
    std::vector<ConversionJob> jobs{job};
    result = ConvertFiles(jobs, bandTable, log);
  }
  log(platform::FormatText("%sConvertFile:Result:%d%s", "Terminated:", result, "\r\n"));
  return result;
}
