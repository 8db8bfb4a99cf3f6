#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "convert/ConversionJob.h"
#include "eq/band/EqBand.h"
#include "platform/process/Console.h"

/// What became of one file of a batch.
struct BatchFileResult {
  ConversionJob job;  ///< the job, with what the conversion filled in
  /// How it ended (NotAttempted for a file the batch never started), its transcript, and what
  /// the output's limits did
  ConversionResult conversion;
  double seconds = 0.0;  ///< wall time the file took
};

/// Where a batch stands, after a file has ended.
struct BatchProgress {
  std::size_t done = 0;         ///< files ended (converted or failed)
  std::size_t total = 0;        ///< files of the batch
  std::size_t failed = 0;       ///< of the ended files, the failed ones
  double audioSeconds = 0.0;    ///< audio of the ended files, seconds
  double elapsedSeconds = 0.0;  ///< since the batch started
};

/// How a batch runs.
struct BatchSettings {
  unsigned threads = 0;    ///< threads in all, files and their filtering; 0: the processor count
  bool keepGoing = false;  ///< true: a failing file does not stop the batch
  /// Looked at between the steps of each file; once set, running files stop unwritten and no
  /// other file starts.
  const std::atomic<bool>* cancel = nullptr;
  /// Each file's transcript, in file order: a file's lines are passed on, together, once the
  /// file and every file before it have ended. Called on one thread at a time, with no lock of
  /// the batch held: a slow console holds up the thread that passes the lines on, while the
  /// other files go on running.
  platform::LogSink log;
  /// Called after each file has ended, on one thread at a time and in turn with `log`, with no
  /// lock of the batch held.
  std::function<void(const BatchProgress&)> progress;
  /// Above 0: `progress` is also called this often (seconds) while files run, the audio of the
  /// running files counted as far as their filtering has come, so that a long file moves it.
  double progressInterval = 0.0;
  /// Asked, on the thread of the file that failed, when a file fails and `keepGoing` is off:
  /// true goes on with the batch, false stops it. Unset: the batch stops.
  std::function<bool(const BatchFileResult&)> continueAfterFailure;
  /// True when a job without an output path may be told to name its output with
  /// /convert_output: the one source of a command line that names no output folder.
  bool adviseConvertOutput = false;
};

/// Converts the files of `jobs`, several at a time: at most `settings.threads` files run at
/// once, each on its own thread, and the threads a file may use for its filtering are the
/// batch's threads divided by the files running. A job without an output path fails with a
/// line saying so. Unless told to go on, the batch stops at the first failing file: files
/// running then end and are reported, files not started are left unattempted. Returns one
/// result per job, in the jobs' order. An exception from a callback (or from a file) stops the
/// batch as a failure does and is rethrown once every thread of the batch has ended.
std::vector<BatchFileResult> RunBatch(std::vector<ConversionJob> jobs, const EqBandTable& bandTable,
                                      const BatchSettings& settings);

/// The number of threads `threads` stands for (0: the processor count, at least 1).
unsigned ResolveThreadCount(unsigned threads);
