#pragma once

#include "app/CommandOptions.h"
#include "eq/EqBand.h"
#include "platform/Console.h"
#include "settings/UserSettings.h"

/// Converts the file named by /convert_source into /convert_output (by default the source's
/// name with "_filter" before the extension, beside the source) through the band table, then
/// prints the "Terminated:" result line. Returns the conversion's result (1 = success).
///
/// `settings` is what loading the /access_setting file found (null without /access_setting).
/// When that file did not give the EQ index's setup, nothing is converted: the band table then
/// holds only the default bands, and an unchanged output passed off as a filtered one is worse
/// than a clear failure.
int RunCommandMode(const CommandOptions& options, const EqBandTable& bandTable,
                   const SettingsLoadReport* settings, const platform::LogSink& log);
