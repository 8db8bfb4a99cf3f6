#include "app/CommandMode.h"

#include <chrono>
#include <vector>

#include "convert/BatchReportJson.h"
#include "platform/text/FormatText.h"
#include "platform/text/PrintableText.h"

namespace {

// The plan's jobs with what the command line asks of every output: its measurement for the
// report, its loudness line, its delivery (a named set with the explicit values over it).
std::vector<ConversionJob> JobsAsAsked(const CommandOptions& options, const BatchPlan& plan) {
  const delivery::DeliverySettings asked =
      options.deliveryName.empty()
          ? options.delivery
          : delivery::MergeDelivery(delivery::FindNamedDelivery(options.deliveryName)
                                        .value_or(delivery::DeliverySettings{}),
                                    options.delivery);
  std::vector<ConversionJob> jobs = plan.jobs;
  for (ConversionJob& job : jobs) {
    job.measureOutput = options.hasReport;
    job.sayLoudness = options.sayLoudness;
    job.delivery = asked;
  }
  return jobs;
}

}  // namespace

int RunCommandMode(const CommandOptions& options, const BatchPlan& plan,
                   const EqBandTable& bandTable, const SettingsLoadReport* settings,
                   const CommandModeSinks& sinks) {
  const platform::LogSink& log = sinks.log;
  int result = 0;
  std::vector<BatchFileResult> files;
  const auto start = std::chrono::steady_clock::now();
  if (settings != nullptr && settings->status != SettingsLoadStatus::Loaded) {
    log(platform::FormatText("%sCan't load EQ index %d from the settings file(%s): %s.%s",
                             "Error:", options.eqIndex,
                             platform::PrintableText(options.accessSettingPath).c_str(),
                             settings->reason.c_str(), "\r\n"));
    for (const ConversionJob& job : plan.jobs) {
      files.push_back(BatchFileResult{job, {}, 0.0});
    }
  } else {
    log(plan.notes);
    BatchSettings batch;
    batch.threads = options.jobs;
    batch.keepGoing = options.keepGoing;
    batch.log = log;
    batch.progress = sinks.progress;
    batch.progressInterval = 0.5;  // a long file moves the line too
    // Only a single source without an output folder can be given its output's name.
    batch.adviseConvertOutput = !plan.several && !options.hasOutputFolder;
    files = RunBatch(JobsAsAsked(options, plan), bandTable, batch);
    result = plan.sourceMissing || plan.jobs.empty() ? 0 : 1;
    for (const BatchFileResult& file : files) {
      if (file.conversion.outcome == ConversionStatus::NotAttempted) {
        log(platform::FormatText(
            "%sNot attempted, the run stopped at a failed file(%s).%s",
            "Information:", platform::PrintableText(file.job.sourcePath).c_str(), "\r\n"));
      }
      if (!file.conversion.Converted()) {
        result = 0;
      }
    }
  }
  if (options.hasReport && sinks.storeReport) {
    BatchReportContext context;
    context.settingsPath = options.hasAccessSetting == 1 ? options.accessSettingPath : "";
    context.eqIndex = options.eqIndex;
    context.threads = ResolveThreadCount(options.jobs);
    context.keepGoing = options.keepGoing;
    context.result = result;
    context.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::string error;
    if (!sinks.storeReport(FormatBatchReportJson(files, context), error)) {
      log(platform::FormatText("%sCan't write the report file(%s): %s.%s",
                               "Error:", platform::PrintableText(options.reportPath).c_str(),
                               error.c_str(), "\r\n"));
      result = 0;
    }
  }
  log(platform::FormatText("%sConvertFile:Result:%d%s", "Terminated:", result, "\r\n"));
  return result;
}
