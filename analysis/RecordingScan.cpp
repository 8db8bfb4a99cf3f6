// Reading a stretch of a recording a block at a time, for the window's views of it.
#include "analysis/RecordingScan.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <utility>

#include "LibProject/Audio/WaveFileUtil/WavFile.h"
#include "LibProject/Audio/WaveFileUtil/WavFileFormat.h"
#include "eq/fileio/FileSampleFormat.h"

namespace {

// Frames read at a time where the format streams (and handed on at a time where it does not).
constexpr std::size_t kScanBlockFrames = std::size_t{1} << 16;

// Hands on the frames of [first, end) that a streamed write passes through it, as they are,
// and asks the write to stop once it is past them or a stop is requested (nothing is written
// anywhere).
class Tap final : public I_SampleBlockFilter {
 public:
  Tap(std::size_t frameBytes, std::uint64_t first, std::uint64_t end, const ScanBlock& block,
      const std::stop_token& stop)
      : m_frameBytes(frameBytes), m_first(first), m_end(end), m_block(block), m_stop(stop) {}

  std::size_t FrameBytes() const override { return m_frameBytes; }
  std::size_t LagFrames() const override { return 0; }
  std::pair<std::ptrdiff_t, std::ptrdiff_t> Filter(std::uint8_t* block, std::size_t frames,
                                                   bool /*final*/) override {
    const std::uint64_t from = std::max(m_first, m_seen);
    const std::uint64_t to = std::min(m_end, m_seen + frames);
    if (from < to && !m_stop.stop_requested()) {
      m_block(block + (from - m_seen) * m_frameBytes, static_cast<std::size_t>(to - from));
    }
    m_seen += frames;
    return {0, static_cast<std::ptrdiff_t>(frames)};
  }
  bool Stopped() const override { return m_seen >= m_end || m_stop.stop_requested(); }

 private:
  std::size_t m_frameBytes;
  std::uint64_t m_first;
  std::uint64_t m_end;
  const ScanBlock& m_block;
  const std::stop_token& m_stop;
  std::uint64_t m_seen = 0;  // frames passed so far
};

class DiscardSink final : public I_ByteSink {
 public:
  bool Write(const void* /*data*/, std::size_t /*size*/) override { return true; }
};

// Says so in `error` when `stop` is requested.
bool Stopped(const std::stop_token& stop, std::string& error) {
  if (!stop.stop_requested()) {
    return false;
  }
  error = "the reading was stopped";
  return true;
}

// The range's end worked out from the recording's layout, once its header has been read.
using EndOf = std::function<std::uint64_t(const RecordingLayout& layout)>;

// Opens `path` through the file library into `file` (`load`: with its samples); false, with the
// library's reason in `error`, when it throws.
bool OpenForScan(C_WavFileFormat& registry, const std::string& path, int load,
                 T_RefPtr<I_WavFile>& file, std::string& error) {
  try {
    file = registry.OpenFile(path, load, 1);
  } catch (const std::runtime_error& e) {
    error = e.what();
    return false;
  }
  return true;
}

// The scan of a file that only loads whole: it is loaded again, with its samples, and the
// range handed out from memory block by block.
bool ScanLoaded(C_WavFileFormat& registry, const std::string& path, std::uint64_t firstFrame,
                const EndOf& endOf, RecordingLayout layout, const ScanBegin& begin,
                const ScanBlock& block, const std::stop_token& stop, std::string& error) {
  if (Stopped(stop, error)) {
    return false;
  }
  T_RefPtr<I_WavFile> file;
  if (!OpenForScan(registry, path, 1, file, error)) {
    return false;
  }
  const auto format = file ? FilterFormatOf(*file->GetWavData()->GetWavInfo()) : std::nullopt;
  if (!format) {
    error = "the file's samples cannot be read";
    return false;
  }
  layout.format = *format;
  I_WavData& data = *file->GetWavData();
  layout.frames = data.GetDataLength() / layout.FrameBytes();
  if (!begin(layout)) {
    return true;
  }
  const std::uint64_t end = std::min(endOf(layout), layout.frames);
  for (std::uint64_t at = firstFrame; at < end; at += kScanBlockFrames) {
    if (Stopped(stop, error)) {
      return false;
    }
    block(data.GetBuffer() + at * layout.FrameBytes(),
          static_cast<std::size_t>(std::min<std::uint64_t>(kScanBlockFrames, end - at)));
  }
  return !Stopped(stop, error);
}

// ScanRecording with the range's end given by `endOf`.
bool Scan(const std::string& path, std::uint64_t firstFrame, const EndOf& endOf,
          const ScanBegin& begin, const ScanBlock& block, const std::stop_token& stop,
          std::string& error) {
  if (Stopped(stop, error)) {
    return false;
  }
  C_WavFileFormat registry;
  T_RefPtr<I_WavFile> file;
  if (!OpenForScan(registry, path, 0, file, error)) {
    return false;
  }
  if (!file || file->GetWavData() == nullptr || file->GetWavData()->GetWavInfo() == nullptr) {
    error = "the file cannot be read as a recording";
    return false;
  }
  RecordingLayout layout;
  const I_WavInfo* info = file->GetWavData()->GetWavInfo();
  layout.sampleRate = static_cast<double>(info->GetSampleRate());
  layout.channels = info->GetChannels();
  if (layout.sampleRate <= 0.0 || layout.channels == 0) {
    error = "the file holds no samples";
    return false;
  }
  auto* wave = dynamic_cast<C_WavFile*>(file.Get());
  if (wave != nullptr && file->CanStream() && file->PrepareStream()) {
    if (const auto format = FilterFormatOf(*info)) {
      layout.format = *format;
      layout.frames = file->GetSampleBytes64() / layout.FrameBytes();  // whole frames
      if (!begin(layout)) {
        return true;
      }
      const std::uint64_t endFrame = endOf(layout);
      if (firstFrame < endFrame && firstFrame < layout.frames) {
        Tap tap(layout.FrameBytes(), firstFrame, endFrame, block, stop);
        DiscardSink sink;
        (void)wave->StreamInto(sink, tap, kScanBlockFrames);  // stops once past the range
      }
      return !Stopped(stop, error);
    }
  }
  // Formats that only load whole.
  return ScanLoaded(registry, path, firstFrame, endOf, layout, begin, block, stop, error);
}

// ReadRecordingSlice with its length, frames, given by `maxFramesOf`.
std::optional<RecordingPcm> ReadSlice(const std::string& path, std::uint64_t firstFrame,
                                      const EndOf& maxFramesOf, const std::stop_token& stop,
                                      std::string& error) {
  RecordingPcm result;
  std::uint64_t maxFrames = 0;
  const bool read = Scan(
      path, firstFrame,
      [&maxFrames, &maxFramesOf, firstFrame](const RecordingLayout& layout) {
        maxFrames = maxFramesOf(layout);
        return maxFrames > UINT64_MAX - firstFrame ? UINT64_MAX : firstFrame + maxFrames;
      },
      [&result, &maxFrames, firstFrame](const RecordingLayout& layout) {
        result.format = layout.format;
        result.channels = layout.channels;
        result.sampleRate = layout.sampleRate;
        result.totalSeconds = static_cast<double>(layout.frames) / layout.sampleRate;
        const std::uint64_t held =
            layout.frames > firstFrame ? std::min(maxFrames, layout.frames - firstFrame) : 0;
        result.bytes.reserve(static_cast<std::size_t>(held * layout.FrameBytes()));
        return true;
      },
      [&result](const std::uint8_t* frames, std::size_t count) {
        result.bytes.insert(result.bytes.end(), frames, frames + count * result.FrameBytes());
      },
      stop, error);
  if (!read) {
    return std::nullopt;
  }
  return result;
}

}  // namespace

bool ScanRecording(const std::string& path, std::uint64_t firstFrame, std::uint64_t endFrame,
                   const ScanBegin& begin, const ScanBlock& block, const std::stop_token& stop,
                   std::string& error) {
  return Scan(
      path, firstFrame, [endFrame](const RecordingLayout& /*layout*/) { return endFrame; }, begin,
      block, stop, error);
}

std::optional<RecordingPcm> ReadRecordingSlice(const std::string& path, std::uint64_t firstFrame,
                                               std::uint64_t maxFrames, const std::stop_token& stop,
                                               std::string& error) {
  return ReadSlice(
      path, firstFrame, [maxFrames](const RecordingLayout& /*layout*/) { return maxFrames; }, stop,
      error);
}

std::optional<RecordingPcm> ReadRecordingPcm(const std::string& path, double maxSeconds,
                                             std::string& error, const std::stop_token& stop) {
  // The recording's first frames: as many as `maxSeconds` holds at its own rate.
  return ReadSlice(
      path, 0,
      [maxSeconds](const RecordingLayout& layout) {
        return static_cast<std::uint64_t>(std::max(0.0, maxSeconds) * layout.sampleRate);
      },
      stop, error);
}
