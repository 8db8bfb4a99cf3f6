#pragma once

#include <functional>

#include "app/BatchPlan.h"
#include "app/CommandOptions.h"
#include "convert/BatchRun.h"
#include "eq/band/EqBand.h"
#include "platform/process/Console.h"
#include "settings/UserSettings.h"

/// Where a command-mode run reports besides its transcript.
struct CommandModeSinks {
  platform::LogSink log;  ///< the transcript
  /// After each file, and twice a second while files run; may be unset.
  std::function<void(const BatchProgress&)> progress;
  /// Receives the JSON summary when /report was given; returns false, with the reason in
  /// `error`, when it cannot be stored.
  std::function<bool(const std::string& json, std::string& error)> storeReport;
};

/// Converts the files of `plan` (the sources of /convert_source: files, folders, patterns)
/// through the band table, several at a time as /jobs allows, then prints the "Terminated:"
/// result line. Each file's lines are printed together and in the files' order; files a
/// stopped batch never started get a line each. Returns 1 when every file converted.
///
/// `settings` is what loading the /access_setting file found (null without /access_setting).
/// When that file did not give the EQ index's setup, nothing is converted: the band table then
/// holds only the default bands, and an unchanged output passed off as a filtered one is worse
/// than a clear failure.
int RunCommandMode(const CommandOptions& options, const BatchPlan& plan,
                   const EqBandTable& bandTable, const SettingsLoadReport* settings,
                   const CommandModeSinks& sinks);
