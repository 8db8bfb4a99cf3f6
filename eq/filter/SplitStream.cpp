#include "eq/filter/SplitStream.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <mutex>
#include <stdexcept>
#include <type_traits>
#include <vector>

#include "platform/process/WorkerThread.h"

namespace {

// Thrown on either side of a hand-over that the other side has cancelled.
struct HandOverCancelled {};

// Values passed from one thread to the other in order, through a ring: the producer waits
// while the ring is full, the consumer while what it needs has not come yet. Positions count
// from the start of the stream. Either side can cancel it when it fails: the other side's
// waits then throw HandOverCancelled instead of waiting for ever.
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

  // Wakes the other side, whose waits throw from now on.
  void Cancel() {
    m_cancelled.store(true, std::memory_order_release);
    { const std::lock_guard<std::mutex> lock(m_mutex); }  // a sleeper is in its wait now
    m_wake.notify_all();
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
      if (Cancelled()) {
        throw HandOverCancelled{};
      }
      if (ready(count.load(std::memory_order_acquire))) {
        return;
      }
      Pause();
    }
    std::unique_lock<std::mutex> lock(m_mutex);
    m_sleepers.fetch_add(1, std::memory_order_relaxed);
    while (!m_wake.wait_for(lock, std::chrono::milliseconds(1), [this, &count, &ready] {
      return Cancelled() || ready(count.load(std::memory_order_acquire));
    })) {
    }
    m_sleepers.fetch_sub(1, std::memory_order_relaxed);
    if (Cancelled()) {
      throw HandOverCancelled{};
    }
  }

  bool Cancelled() const { return m_cancelled.load(std::memory_order_acquire); }

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
  std::atomic<bool> m_cancelled{false};
  std::mutex m_mutex;
  std::condition_variable m_wake;
};

// A Put of p values waits while the ring holds more than kSize - p, a Take of t values while it
// holds fewer than t; both wait at once only when p + t exceeds kSize + 1. The first segment
// puts, and the second takes, at most one chunk at a time, so two chunks must fit in the ring;
// the bound is kept strict, so that the count above is never the only thing between the two
// threads and a stall (a chunk of half the ring has been seen to stall a run).
static_assert(2 * kWavefrontChunk < HandOver::kSize,
              "the hand-over's ring must hold two wavefront chunks, or the threads can deadlock");

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

// The second segment's outputs stored into the block, position 0 at the block's first sample.
template <typename Io>
class BlockSink final : public WavefrontSink {
 public:
  BlockSink(Io& io, typename Io::Sample* samples) : m_io(io), m_samples(samples) {}
  void Write(const double* out, std::ptrdiff_t position, std::size_t count) override {
    StoreOutputs(m_io, out, m_samples + position, count, 1);
  }

 private:
  Io& m_io;
  typename Io::Sample* m_samples;
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

// A sink that moves the positions it is given by `offset`.
class ShiftedSink final : public WavefrontSink {
 public:
  ShiftedSink(WavefrontSink& sink, std::ptrdiff_t offset) : m_sink(sink), m_offset(offset) {}
  void Write(const double* out, std::ptrdiff_t position, std::size_t count) override {
    m_sink.Write(out, position + m_offset, count);
  }

 private:
  WavefrontSink& m_sink;
  std::ptrdiff_t m_offset;
};

// The outputs a segment of lag `lag` has given after `fed` inputs.
std::uint64_t Finished(std::uint64_t fed, std::uint64_t lag, bool flushed) {
  if (flushed) {
    return fed;
  }
  return fed > lag ? fed - lag : 0;
}

template <typename Io>
class SplitStream final : public SampleStream {
 public:
  SplitStream(FilterKernel kernel, const Io& io, const FilterChain& chain, std::size_t split)
      : m_in(io), m_out(io), m_segments(kernel, chain, split) {}

  std::size_t LagFrames() const override { return m_segments.Lag(); }

  std::pair<std::ptrdiff_t, std::ptrdiff_t> Filter(void* block, std::size_t frames,
                                                   bool final) override {
    auto* samples = static_cast<typename Io::Sample*>(block);
    const std::uint64_t before = m_done;
    BlockSource<Io> source(m_in, samples);
    BlockSink<Io> sink(m_out, samples);
    m_segments.Run(source, sink, frames, final);
    m_done += frames;
    const std::uint64_t finishedFrom = Finished(before, m_segments.Lag(), false);
    const std::uint64_t finishedTo = Finished(m_done, m_segments.Lag(), final);
    return {static_cast<std::ptrdiff_t>(finishedFrom - before),
            static_cast<std::ptrdiff_t>(finishedTo - before)};
  }

  ClipStats Stats() const override { return m_out.stats; }

  unsigned Threads() const override { return 2; }

  bool HasWorker() const { return m_segments.HasWorker(); }

 private:
  Io m_in;   // converts the inputs (first thread)
  Io m_out;  // converts the outputs and counts what the limits changed (second thread)
  SplitSegments m_segments;
  std::uint64_t m_done = 0;
};

}  // namespace

struct SplitSegments::Impl {
  Impl(FilterKernel kernel, const FilterChain& chain, std::size_t split)
      : first(kernel, chain, 0, split), second(kernel, chain, split, CountSections(chain)) {}
  WavefrontSegment first;
  WavefrontSegment second;
  HandOver ring;
  std::uint64_t done = 0;
  bool spent = false;             // a run failed: the segments' states and the ring are lost
  platform::WorkerThread worker;  // last: joined before the segments and the ring go
};

SplitSegments::SplitSegments(FilterKernel kernel, const FilterChain& chain, std::size_t split)
    : m_impl(std::make_unique<Impl>(kernel, chain, split)) {}

SplitSegments::~SplitSegments() = default;

bool SplitSegments::HasWorker() const { return m_impl->worker.HasThread(); }

std::size_t SplitSegments::Lag() const { return m_impl->first.Lag() + m_impl->second.Lag(); }

void SplitSegments::Run(WavefrontSource& source, WavefrontSink& sink, std::size_t steps,
                        bool flush) {
  Impl& impl = *m_impl;
  if (impl.spent) {
    throw std::runtime_error("the two-thread filter stopped at an earlier fault");
  }
  const std::uint64_t before = impl.done;
  // What the first segment has handed over before this run and after it.
  const std::uint64_t handedFrom = Finished(before, impl.first.Lag(), false);
  const std::uint64_t handedTo = Finished(before + steps, impl.first.Lag(), flush);
  RingSink handOut(impl.ring, before);
  RingSource handIn(impl.ring, handedFrom);
  ShiftedSink out(sink, static_cast<std::ptrdiff_t>(handedFrom - before));
  // A side that fails cancels the hand-over, so that the other one stops waiting on it; once
  // both have stopped, the fault is passed on (the other side's cancellation is not one).
  impl.worker.Start([&] {
    try {
      impl.second.Run(handIn, out, handedTo - handedFrom, flush);
    } catch (...) {
      impl.ring.Cancel();
      throw;
    }
  });
  std::exception_ptr fault;
  try {
    impl.first.Run(source, handOut, steps, flush);
  } catch (const HandOverCancelled&) {
    impl.spent = true;  // the worker's fault comes from Wait
  } catch (...) {
    fault = std::current_exception();
    impl.ring.Cancel();
  }
  try {
    impl.worker.Wait();
  } catch (const HandOverCancelled&) {
    impl.spent = true;
  } catch (...) {
    if (!fault) {
      fault = std::current_exception();
    }
  }
  if (fault) {
    impl.spent = true;
    std::rethrow_exception(fault);
  }
  if (impl.spent) {
    throw std::runtime_error("the two-thread filter was cancelled");
  }
  impl.done += steps;
}

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
