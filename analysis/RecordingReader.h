#pragma once

#include <cstdint>
#include <optional>
#include <stop_token>
#include <string>
#include <vector>

#include "eq/filter/PcmFilter.h"

/// The start of a recording in its own encoding: what the conversion filters, for listening.
struct RecordingPcm {
  std::vector<std::uint8_t> bytes;  ///< whole interleaved frames
  SampleFormat format;
  std::uint16_t channels = 0;
  double sampleRate = 0.0;
  double totalSeconds = 0.0;  ///< the whole recording's length, also beyond what was read

  std::size_t FrameBytes() const { return SampleBytes(format.encoding) * channels; }
  std::size_t Frames() const { return FrameBytes() == 0 ? 0 : bytes.size() / FrameBytes(); }
};

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
/// file cannot be read, or once `stop` is requested: it is looked at between the blocks (and
/// before and after a format that only loads whole). Defined with ReadRecordingSlice
/// (analysis/RecordingScan.cpp), whose reading it is from the first frame.
std::optional<RecordingPcm> ReadRecordingPcm(const std::string& path, double maxSeconds,
                                             std::string& error, const std::stop_token& stop = {});

/// ReadRecordingPcm's samples as mono floats.
std::optional<RecordingSamples> ReadRecording(const std::string& path, double maxSeconds,
                                              std::string& error, const std::stop_token& stop = {});

/// The channels of `pcm` averaged into floats of full scale 1.0.
std::vector<float> MonoFloats(const RecordingPcm& pcm);

/// One sample of `encoding` at `p` as a float of full scale 1.0.
float SampleAsFloat(SampleEncoding encoding, const std::uint8_t* p);
