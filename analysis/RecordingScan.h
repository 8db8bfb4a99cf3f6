#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <stop_token>
#include <string>

#include "analysis/RecordingReader.h"
#include "eq/filter/PcmFilter.h"

/// How a recording's samples come out of ScanRecording: in the file's own encoding, as the
/// conversion filters them.
struct RecordingLayout {
  SampleFormat format;
  std::uint16_t channels = 0;
  double sampleRate = 0.0;   ///< Hz
  std::uint64_t frames = 0;  ///< the whole recording's frames, as its header states them

  std::size_t FrameBytes() const { return SampleBytes(format.encoding) * channels; }
};

/// Called once before the samples with the recording's layout; false ends the scan there.
using ScanBegin = std::function<bool(const RecordingLayout& layout)>;
/// Called with each run of `count` whole interleaved frames at `frames`, in order.
using ScanBlock = std::function<void(const std::uint8_t* frames, std::size_t count)>;

/// Reads frames [firstFrame, endFrame) of the recording at `path` (every format a conversion
/// reads; `endFrame` beyond the recording means to its end) and hands them to `block` a block
/// at a time: formats that stream are read front to back in blocks of 64 Ki frames, so that an
/// hour costs no more memory than one block; the others are loaded whole first. The frames
/// before `firstFrame` are read past, not handed over. False, with the reason in `error`, when
/// the file cannot be read or once `stop` is requested (looked at between blocks); `begin`
/// then may have run and `block` may have seen a part of the range.
bool ScanRecording(const std::string& path, std::uint64_t firstFrame, std::uint64_t endFrame,
                   const ScanBegin& begin, const ScanBlock& block, const std::stop_token& stop,
                   std::string& error);

/// Frames [firstFrame, firstFrame + maxFrames) of the recording at `path` (fewer at its end) in
/// its own encoding, for listening to a part of it; `totalSeconds` is the whole recording's
/// length. Empty, with the reason in `error`, when the file cannot be read or `stop` is
/// requested.
std::optional<RecordingPcm> ReadRecordingSlice(const std::string& path, std::uint64_t firstFrame,
                                               std::uint64_t maxFrames, const std::stop_token& stop,
                                               std::string& error);
