#pragma once

#include <string>
#include <vector>

#include "convert/ConversionResult.h"

/// The output path a conversion uses when none is given: the source's folder and name with
/// "_filter" before the extension (C:\a\voice.wav gives C:\a\voice_filter.wav). Empty when the
/// result would be too long: on Windows a part of the source path longer than its limit or a
/// result beyond 519 characters, elsewhere a name or path beyond the system's limits.
std::string DefaultOutputPath(const std::string& sourcePath);

/// What became of one file of a conversion run, for its report.
struct ConversionOutcome {
  std::string sourcePath;
  std::string outputPath;       ///< empty when no output name could be formed
  ConversionResult conversion;  ///< NotAttempted for a file the run never reached
};

/// The report of a conversion run, as the window shows it.
struct ConversionReport {
  std::string title;
  std::string text;  ///< one line per file, LF separated; a failed file also gets its Error lines
  bool failed = false;
};

/// Formats the report of a run over `outcomes`, in their order: converted files (with the
/// clipping line of one that clipped and the line of a normalising gain that fell short
/// indented beneath), failed ones with their "Error:" lines
/// indented beneath, files not attempted, and files skipped because no output name could be
/// formed.
ConversionReport FormatConversionReport(const std::vector<ConversionOutcome>& outcomes);
