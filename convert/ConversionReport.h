#pragma once

#include <string>
#include <string_view>
#include <vector>

/// The output path a conversion uses when none is given: the source's folder and name with
/// "_filter" before the extension (C:\a\voice.wav gives C:\a\voice_filter.wav). Empty when the
/// result would be too long: on Windows a part of the source path longer than its limit or a
/// result beyond 519 characters, elsewhere a name or path beyond the system's limits.
std::string DefaultOutputPath(const std::string& sourcePath);

/// The lines of a transcript (CR LF or LF ended) that begin with `prefix`, in order, without
/// their line ends.
std::vector<std::string> LinesStartingWith(const std::string& log, std::string_view prefix);

/// What became of one file of a conversion run, for its report.
struct ConversionOutcome {
  std::string sourcePath;
  std::string outputPath;  ///< empty when no output name could be formed
  bool attempted = false;  ///< false for a file the run never reached
  int result = 0;          ///< ConvertFiles' result for the file (1 = converted)
  std::string log;         ///< the file's console lines, CR LF ended
};

/// The report of a conversion run, as the window shows it.
struct ConversionReport {
  std::string title;
  std::string text;  ///< one line per file, LF separated; a failed file also gets its Error lines
  bool failed = false;
};

/// Formats the report of a run over `outcomes`, in their order: converted files, failed ones
/// with their "Error:" lines indented beneath, files not attempted, and files skipped because no
/// output name could be formed.
ConversionReport FormatConversionReport(const std::vector<ConversionOutcome>& outcomes);
