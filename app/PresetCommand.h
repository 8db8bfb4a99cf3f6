#pragma once

#include "app/CommandOptions.h"
#include "eq/band/EqBand.h"
#include "platform/process/Console.h"
#include "settings/AppConfig.h"

/// /import_preset: reads the preset text named by `options` into `bandTable` (its band count
/// becomes the number of filters taken, OFF filters disabled) and saves it as EQ index
/// `options.eqIndex` of the settings file, created when missing, in one atomic write. Says what
/// it skipped and what the bands do at the configuration's sample rate, then
/// "Terminated:ImportPreset:Result:N". Returns 1 when imported; `bandTable` is unchanged
/// otherwise.
int RunImportPreset(const CommandOptions& options, AppConfig& config, EqBandTable& bandTable,
                    const platform::LogSink& log);

/// /export_preset: writes `bandTable`, loaded from EQ index `options.eqIndex`, as preset text
/// to the file named by `options`, atomically, then "Terminated:ExportPreset:Result:N".
/// `loaded` is false when the index could not be loaded (`reason` says why): nothing is written.
int RunExportPreset(const CommandOptions& options, const EqBandTable& bandTable, bool loaded,
                    const std::string& reason, const platform::LogSink& log);
