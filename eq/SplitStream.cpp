#include "eq/SplitStream.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <type_traits>
#include <vector>

#include "platform/WorkerThread.h"

namespace {

// Values passed from one thread to the other in order, through a ring: the producer waits
// while the ring is full, the consumer while what it needs has not come yet. Positions count
// from the start of the stream.
class HandOver {
 public:
  static constexpr std::size_t kSize = 8192;  // values; a power of two, fits the second cache

  void Put(std::uint64_t at, const double* values, std::size_t count) {
    const std::uint64_t end = at + count;
    Await(m_consumed, [end](std::uint64_t taken) { return end - taken <= kSize; });
    for (std::size_t i = 0; i < count; ++i) {
      m_ring[(at + i) & (kSize - 1)] = values[i];
    }
    Publish(m_produced, end);
  }

  void Take(std::uint64_t at, double* values, std::size_t count) {
    const std::uint64_t end = at + count;
    Await(m_produced, [end](std::uint64_t made) { return made >= end; });
    for (std::size_t i = 0; i < count; ++i) {
      values[i] = m_ring[(at + i) & (kSize - 1)];
    }
    Publish(m_consumed, end);
  }

 private:
  // Waits until `ready(count)`. The two threads run at about the same pace, so the other one
  // usually answers within a chunk's time: spin that long before sleeping, which would cost a
  // system call on each side for every chunk.
  //
  // The sleep is a condition variable, not std::atomic::wait: where the system has no futex
  // (Windows), the C++ library builds atomic waits from pooled condition variables, and a run
  // under Wine was seen to sleep there for good. Publish wakes a sleeper it sees counted in
  // m_sleepers. It looks without a fence, which would cost every chunk, so it can miss one that
  // is just going to sleep: a sleeper therefore looks at the count again every millisecond.
  template <typename Ready>
  void Await(const std::atomic<std::uint64_t>& count, Ready ready) {
    constexpr int kSpins = 4096;
    for (int spin = 0; spin < kSpins; ++spin) {
      if (ready(count.load(std::memory_order_acquire))) {
        return;
      }
      Pause();
    }
    std::unique_lock<std::mutex> lock(m_mutex);
    m_sleepers.fetch_add(1, std::memory_order_relaxed);
    while (!m_wake.wait_for(lock, std::chrono::milliseconds(1), [&count, &ready] {
      return ready(count.load(std::memory_order_acquire));
    })) {
    }
    m_sleepers.fetch_sub(1, std::memory_order_relaxed);
  }

  // Makes `end` the new count and wakes the other thread if it sleeps.
  void Publish(std::atomic<std::uint64_t>& count, std::uint64_t end) {
    count.store(end, std::memory_order_release);
    if (m_sleepers.load(std::memory_order_relaxed) > 0) {
      { const std::lock_guard<std::mutex> lock(m_mutex); }  // a sleeper is in its wait now
      m_wake.notify_all();
    }
  }

  static void Pause() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#elif defined(__aarch64__)
    asm volatile("yield");
#endif
  }

  std::vector<double> m_ring = std::vector<double>(kSize);
  std::atomic<std::uint64_t> m_produced{0};
  std::atomic<std::uint64_t> m_consumed{0};
  std::atomic<int> m_sleepers{0};
  std::mutex m_mutex;
  std::condition_variable m_wake;
};

// The block's samples as the first segment's inputs.
template <typename Io>
class BlockSource final : public WavefrontSource {
 public:
  BlockSource(const Io& io, const typename Io::Sample* samples) : m_io(io), m_samples(samples) {}
  void Read(double* in, std::size_t from, std::size_t count) override {
    for (std::size_t i = 0; i < count; ++i) {
      in[i] = m_io.In(m_samples[from + i]);
    }
  }

 private:
  const Io& m_io;
  const typename Io::Sample* m_samples;
};

// The second segment's outputs stored into the block; `offset` places the run's first input.
template <typename Io>
class BlockSink final : public WavefrontSink {
 public:
  BlockSink(Io& io, typename Io::Sample* samples, std::ptrdiff_t offset)
      : m_io(io), m_samples(samples), m_offset(offset) {}
  void Write(const double* out, std::ptrdiff_t position, std::size_t count) override {
    StoreOutputs(m_io, out, m_samples + m_offset + position, count, 1);
  }

 private:
  Io& m_io;
  typename Io::Sample* m_samples;
  std::ptrdiff_t m_offset;
};

// The hand-over as the first segment's sink and the second segment's source; `start` is the
// stream position of the run's first input (or output).
class RingSink final : public WavefrontSink {
 public:
  RingSink(HandOver& ring, std::uint64_t start) : m_ring(ring), m_start(start) {}
  void Write(const double* out, std::ptrdiff_t position, std::size_t count) override {
    m_ring.Put(m_start + static_cast<std::uint64_t>(position), out, count);
  }

 private:
  HandOver& m_ring;
  std::uint64_t m_start;
};
class RingSource final : public WavefrontSource {
 public:
  RingSource(HandOver& ring, std::uint64_t start) : m_ring(ring), m_start(start) {}
  void Read(double* in, std::size_t from, std::size_t count) override {
    m_ring.Take(m_start + from, in, count);
  }

 private:
  HandOver& m_ring;
  std::uint64_t m_start;
};

template <typename Io>
class SplitStream final : public SampleStream {
 public:
  SplitStream(FilterKernel kernel, const Io& io, const FilterChain& chain, std::size_t split)
      : m_in(io),
        m_out(io),
        m_first(kernel, chain, 0, split),
        m_second(kernel, chain, split, CountSections(chain)) {}

  std::size_t LagFrames() const override { return m_first.Lag() + m_second.Lag(); }

  std::pair<std::ptrdiff_t, std::ptrdiff_t> Filter(void* block, std::size_t frames,
                                                   bool final) override {
    auto* samples = static_cast<typename Io::Sample*>(block);
    const std::uint64_t before = m_done;
    // What the first segment has handed over before this block and after it.
    const std::uint64_t handedFrom = Finished(before, m_first.Lag(), false);
    const std::uint64_t handedTo = Finished(before + frames, m_first.Lag(), final);
    BlockSource<Io> source(m_in, samples);
    RingSink handOut(m_ring, before);
    RingSource handIn(m_ring, handedFrom);
    BlockSink<Io> sink(m_out, samples, static_cast<std::ptrdiff_t>(handedFrom - before));
    m_worker.Start([&] { m_second.Run(handIn, sink, handedTo - handedFrom, final); });
    m_first.Run(source, handOut, frames, final);
    m_worker.Wait();
    m_done += frames;
    const std::uint64_t finishedFrom = Finished(handedFrom, m_second.Lag(), false);
    const std::uint64_t finishedTo = Finished(handedTo, m_second.Lag(), final);
    return {static_cast<std::ptrdiff_t>(finishedFrom - before),
            static_cast<std::ptrdiff_t>(finishedTo - before)};
  }

  ClipStats Stats() const override { return m_out.stats; }

  unsigned Threads() const override { return 2; }

  bool HasWorker() const { return m_worker.HasThread(); }

 private:
  // The outputs a segment of lag `lag` has given after `fed` inputs.
  static std::uint64_t Finished(std::uint64_t fed, std::uint64_t lag, bool flushed) {
    if (flushed) {
      return fed;
    }
    return fed > lag ? fed - lag : 0;
  }

  Io m_in;   // converts the inputs (first thread)
  Io m_out;  // converts the outputs and counts what the limits changed (second thread)
  WavefrontSegment m_first;
  WavefrontSegment m_second;
  HandOver m_ring;
  std::uint64_t m_done = 0;
  platform::WorkerThread m_worker;  // last: joined before the segments and the ring go
};

}  // namespace

std::unique_ptr<SampleStream> CreateSplitStream(FilterKernel kernel, const SampleFormat& format,
                                                const FilterChain& chain) {
  if (kernel == FilterKernel::Plain || !FilterKernelAvailable(kernel)) {
    return nullptr;
  }
  const std::size_t sections = CountSections(chain);
  const std::size_t lanes = FilterKernelLanes(kernel);
  const std::size_t groups = (sections + lanes - 1) / lanes;
  if (groups < 2) {
    return nullptr;
  }
  // The first thread takes the first half of the vectors (the larger half when odd): it also
  // converts the inputs, the second converts and limits the outputs.
  const std::size_t split = (groups + 1) / 2 * lanes;
  return VisitSampleIo(format, [&](const auto& io) -> std::unique_ptr<SampleStream> {
    using Io = std::decay_t<decltype(io)>;
    auto stream = std::make_unique<SplitStream<Io>>(kernel, io, chain, split);
    if (!stream->HasWorker()) {
      return nullptr;  // no second thread: one thread runs the whole chain
    }
    return stream;
  });
}
