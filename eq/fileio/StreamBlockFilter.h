#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <thread>
#include <utility>

#include "LibProject/Audio/WaveFileUtil/WavFile.h"
#include "eq/filter/SampleStream.h"

/// A SampleStream as the streamed WAVE writer sees it; a set `cancel` stops the write.
class StreamBlockFilter final : public I_SampleBlockFilter {
 public:
  /// `threads`: the threads the conversion may use (0: the processor count); one more than the
  /// stream keeps busy lets the reads and writes run beside the filter. `framesDone`, when
  /// given, counts the frames filtered.
  StreamBlockFilter(SampleStream& stream, std::size_t frameBytes,
                    const std::atomic<bool>* cancel = nullptr, unsigned threads = 1,
                    std::atomic<std::uint64_t>* framesDone = nullptr)
      : m_stream(stream),
        m_frameBytes(frameBytes),
        m_cancel(cancel),
        m_framesDone(framesDone),
        m_spare((threads > 0 ? threads : std::thread::hardware_concurrency()) > stream.Threads()) {}
  std::size_t FrameBytes() const override { return m_frameBytes; }
  std::size_t LagFrames() const override { return m_stream.LagFrames(); }
  std::pair<std::ptrdiff_t, std::ptrdiff_t> Filter(std::uint8_t* block, std::size_t frames,
                                                   bool final) override {
    const auto finished = m_stream.Filter(block, frames, final);
    if (m_framesDone != nullptr) {
      m_framesDone->fetch_add(frames, std::memory_order_relaxed);
    }
    return finished;
  }
  bool Stopped() const override { return m_cancel != nullptr && m_cancel->load(); }
  bool SpareThread() const override { return m_spare; }

 private:
  SampleStream& m_stream;
  std::size_t m_frameBytes;
  const std::atomic<bool>* m_cancel;
  std::atomic<std::uint64_t>* m_framesDone;
  bool m_spare;
};
