#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

/// The start of a recording as one channel of floats, for analysis.
struct RecordingSamples {
  std::vector<float> mono;  ///< the channels averaged, full scale 1.0
  double sampleRate = 0.0;
  std::uint16_t channels = 0;
  double totalSeconds = 0.0;  ///< the whole recording's length, also beyond what was read
};

/// Reads the first `maxSeconds` of the recording at `path` through the format registry (every
/// format a conversion reads), a block at a time where the format allows, so that a long file
/// costs no more memory than its first minutes. Empty, with the reason in `error`, when the
/// file cannot be read.
std::optional<RecordingSamples> ReadRecording(const std::string& path, double maxSeconds,
                                              std::string& error);
