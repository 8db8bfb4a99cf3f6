#pragma once

#include <optional>
#include <stop_token>
#include <string>

#include "eq/band/EqBand.h"

/// A recording's loudness as the window shows it (ITU-R BS.1770-4 / EBU R128, libebur128).
struct LoudnessLevel {
  std::optional<double> integratedLufs;  ///< empty when it is silent or below the gate
  std::optional<double> truePeakDbtp;    ///< empty for zeros only
};

/// The whole recording's loudness before the bands and after them.
struct RecordingLoudness {
  std::optional<LoudnessLevel> source;     ///< as the file holds it, when asked for
  std::optional<LoudnessLevel> equalized;  ///< through the bands, when asked for
};

/// Reads the whole recording at `path` front to back a block at a time (ScanRecording: an hour
/// costs no more memory than a block) and measures it as it is when `withSource`, and through
/// `bands` when they are given, as a conversion writes it: the plain pass's arithmetic in the
/// file's own encoding (PlaybackRenderer), its limits included. Empty, with the reason in
/// `error`, when the file cannot be read, the build has no loudness meter or the meter refuses
/// the layout, or once `stop` is requested (looked at between blocks).
std::optional<RecordingLoudness> MeasureRecordingLoudness(const std::string& path, bool withSource,
                                                          const EqBandTable* bands,
                                                          const std::stop_token& stop,
                                                          std::string& error);
