#pragma once

#include <string>
#include <vector>

#include "app/CommandOptions.h"
#include "convert/ConversionJob.h"

/// The line refusing a command-mode run that would write one of its files over another file of
/// the run; empty when none does. What the run writes: the /report, the /export_preset text, the
/// settings file an /import_preset saves into, and the outputs of `jobs`. What it must not write
/// over: its sources, its settings file, its presets, and what it writes itself. Files are
/// compared by identity: a link, a hard link or another spelling of one file is that file.
std::string FindRunFileClash(const CommandOptions& options, const std::vector<ConversionJob>& jobs);
