#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <thread>
#include <utility>

#include "LibProject/Audio/WaveFileUtil/WavFile.h"

#include "eq/FilterChain.h"
#include "eq/PcmFilter.h"
#include "eq/SampleIo.h"
#include "eq/WavefrontFilter.h"

/// Filters a file's interleaved samples block by block, each channel through `chain` from
/// zeroed states at the start of the stream, with the bits the whole-buffer pass (FilterSamples)
/// gives the whole file: the states carry from one block to the next. With a wavefront kernel
/// the results trail the input by LagFrames() frames, which the caller's buffer keeps room for
/// in front of each block.
class SampleStream {
 public:
  /// `chain` (designed for the stream's sample rate) must outlive the stream; its states are
  /// used by the plain pass. An unavailable kernel falls back to Plain, as in FilterSamples. At
  /// most `threads` threads (0: the processor count) run the channels of a block; a single channel
  /// with two threads or more runs its chain's sections on two threads.
  static std::unique_ptr<SampleStream> Create(FilterKernel kernel, const SampleFormat& format,
                                              FilterChain& chain, std::uint16_t channels,
                                              unsigned threads);
  virtual ~SampleStream() = default;

  /// Frames the results trail the input by; the room a block needs in front of it.
  virtual std::size_t LagFrames() const = 0;

  /// Filters `frames` new frames at `block` in place; `final` when no frames follow. Returns
  /// the frames this call finished, as [first, end) counted from `block` in frames: first may
  /// be as low as -LagFrames() (the end of the block before, whose results come now).
  virtual std::pair<std::ptrdiff_t, std::ptrdiff_t> Filter(void* block, std::size_t frames,
                                                           bool final) = 0;

  /// What the limits of the stored values changed so far, all channels.
  virtual ClipStats Stats() const = 0;

  /// The threads it keeps busy while it filters a block.
  virtual unsigned Threads() const = 0;
};

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
