#pragma once

#include "app/CommandOptions.h"
#include "eq/EqBand.h"
#include "platform/Console.h"

/// Converts the file named by /convert_source into /convert_output (by default the source's
/// name with "_filter" before the extension, beside the source) through the band table, then
/// prints the "Terminated:" result line. Returns the conversion's result (1 = success).
int RunCommandMode(const CommandOptions& options, const EqBandTable& bandTable,
                   const platform::LogSink& log);
