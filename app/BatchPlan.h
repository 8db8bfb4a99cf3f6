#pragma once

#include <string>
#include <vector>

#include "app/CommandOptions.h"
#include "convert/ConversionJob.h"

/// The files a command-mode run converts, worked out from the command line.
struct BatchPlan {
  std::vector<ConversionJob> jobs;  ///< in order: sources as given, a folder's files by name
  /// Lines to say before the files' own, CR LF ended (sources left out, folders without audio).
  std::string notes;
  bool sourceMissing = false;  ///< a folder or pattern held no audio file: the run fails
  /// Not empty: the command line asks for something that cannot be done; the line to say, and
  /// the run ends as for a bad command line.
  std::string error;
  bool several = false;  ///< more than one source, or a folder or pattern
};

/// Works out the jobs of `options`: each /convert_source that names a file is that file; a
/// folder gives its audio files (those whose extension is in `extensions`, compared without
/// case), its subfolders' too with /recursive; a pattern with '*' or '?' in its file name gives
/// the audio files of its folder (and subfolders with /recursive) whose names match it. A file
/// named twice is converted once. Outputs go to /convert_output (one source only), into
/// /output_folder (a folder's structure below it mirrored, the default output name), or beside
/// each source under the default output name. A source that is another source's output is
/// left out with a note; two sources that would write one output make the plan fail.
BatchPlan PlanBatch(const CommandOptions& options, const std::vector<std::string>& extensions);
