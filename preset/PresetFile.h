#pragma once

#include <string>
#include <vector>

#include "eq/band/EqBand.h"

// Preset files in and out: the one service that the console's /import_preset and
// /export_preset and the window's graph menu call. It reads and writes the file and says what
// happened; each front end only words the result in its own way.

/// What reading a preset file gave.
struct PresetFileImport {
  enum class Outcome {
    Imported,    ///< `table` holds the preset's bands
    Unreadable,  ///< the file could not be read; `error` says why
    Refused,     ///< the text holds nothing to take or too many filters; `error` says which
  };
  Outcome outcome = Outcome::Unreadable;
  /// Why nothing was imported, as a sentence without its final point: the system's words for a
  /// file that cannot be read, or DescribeImportRefusal's sentence.
  std::string error;
  EqBandTable table;               ///< the bands read (empty unless Imported)
  std::vector<std::string> notes;  ///< one sentence per line of the file that was skipped
  /// One sentence per band that does nothing at the rate given (DescribeBandSkip); Imported only.
  std::vector<std::string> bandNotes;
};

/// Reads the preset text at `path` (ReadPresetText) and, when it can replace a setup, names the
/// bands that would do nothing at `sampleRate` (Hz).
PresetFileImport ImportPresetFile(const std::string& path, double sampleRate);

/// What writing a preset file gave.
struct PresetFileExport {
  bool written = false;            ///< the file holds the whole preset
  std::string error;               ///< why it was not written (the system's words), else empty
  std::vector<std::string> notes;  ///< what the text could not hold as it is (WritePresetText)
};

/// Writes `table` as preset text (WritePresetText) to `path` in one atomic replace: a failed
/// write leaves an existing file as it was.
PresetFileExport ExportPresetFile(const std::string& path, const EqBandTable& table);
