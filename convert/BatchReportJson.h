#pragma once

#include <string>
#include <vector>

#include "convert/BatchRun.h"

/// The run a batch summary describes, besides its files.
struct BatchReportContext {
  std::string settingsPath;  ///< the user settings file; empty: the built-in band set
  int eqIndex = 0;           ///< the EQ index the bands came from
  unsigned threads = 0;      ///< threads the batch ran on
  bool keepGoing = false;    ///< /keep_going was given
  double seconds = 0.0;      ///< wall time of the whole batch
  int result = 0;            ///< the run's result, as its "Terminated:" line gives it
};

/// The batch summary as a JSON document (the schema is resources/batch-report.schema.json):
/// the run's totals, then per file its source, output, result, error text, duration, format,
/// sample rate, channels, encoding, clipped samples and peak, whether the source ended before
/// the length its header states (the frames read and stated), the loudness and peaks of what
/// was written (when measured), what the delivery steps applied (the gain, the output's rate,
/// channels, bits and encoding, dither), and every enabled band with what the design made of it
/// at that file's rate. Text that is not valid UTF-8 has its bad
/// bytes replaced by U+FFFD, so the document always parses.
std::string FormatBatchReportJson(const std::vector<BatchFileResult>& files,
                                  const BatchReportContext& context);
