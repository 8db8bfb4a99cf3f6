#pragma once

#include <cstddef>
#include <string>

#include "convert/BatchRun.h"
#include "platform/process/Console.h"

/// The one-line progress display of a batch on a terminal: files done of total, hours of audio
/// processed, the speed against real time and the time left, redrawn in place after each file
/// and cleared at the end. Writes nothing when not enabled (standard error a file or a pipe,
/// where carriage-return redraws would only clutter a log).
class ProgressLine {
 public:
  ProgressLine(bool enabled, platform::LogSink write)
      : m_enabled(enabled), m_write(std::move(write)) {}
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;
  ~ProgressLine() { Clear(); }

  void Update(const BatchProgress& progress);
  /// Removes the line, leaving the cursor at the start of an empty line.
  void Clear();

  /// The text of the line for `progress`, without the redraw characters.
  static std::string Text(const BatchProgress& progress);

 private:
  bool m_enabled;
  platform::LogSink m_write;
  std::size_t m_width = 0;  // the longest line drawn, so a shorter one covers it
};
