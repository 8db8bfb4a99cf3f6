// The chain split over two threads: a fault on either thread reaches the caller and stops the
// other one, which would otherwise wait for ever on the hand-over between them.
#include "eq/filter/SplitStream.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>

namespace {

// Runs `run` on a thread of its own and waits a generous minute for it to end. A thread stuck on
// the hand-over cannot be joined, so the program then ends with the test's name.
void EndsWithinAMinute(const std::function<void()>& run) {
  std::mutex mutex;
  std::condition_variable changed;
  bool ended = false;
  std::thread thread([&] {
    run();
    const std::lock_guard<std::mutex> lock(mutex);
    ended = true;
    changed.notify_all();
  });
  std::unique_lock<std::mutex> lock(mutex);
  if (!changed.wait_for(lock, std::chrono::minutes(1), [&ended] { return ended; })) {
    std::fprintf(stderr, "%s: the split chain is still running after a minute\n",
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::fflush(stderr);
    std::_Exit(1);
  }
  lock.unlock();
  thread.join();
}

// Zeros, until `failAt` values have been read.
class FailingSource final : public WavefrontSource {
 public:
  explicit FailingSource(std::size_t failAt) : m_failAt(failAt) {}
  void Read(double* in, std::size_t from, std::size_t count) override {
    if (from + count > m_failAt) {
      throw std::runtime_error("the source failed");
    }
    std::fill(in, in + count, 0.0);
  }

 private:
  std::size_t m_failAt;
};

// Takes outputs until the one for input `failAt`.
class FailingSink final : public WavefrontSink {
 public:
  explicit FailingSink(std::ptrdiff_t failAt) : m_failAt(failAt) {}
  void Write(const double* /*out*/, std::ptrdiff_t position, std::size_t count) override {
    if (position + static_cast<std::ptrdiff_t>(count) > m_failAt) {
      throw std::runtime_error("the sink failed");
    }
  }

 private:
  std::ptrdiff_t m_failAt;
};

// The message of what `run` throws; empty when it throws nothing.
std::string Thrown(const std::function<void()>& run) {
  try {
    run();
  } catch (const std::exception& error) {
    return error.what();
  }
  return {};
}

TEST(SplitStreamTest, AFaultOnEitherThreadReachesTheCallerAndStopsTheOther) {
  // A low-pass of 12 sections: six vectors of the portable kernel, three on each thread.
  const EqBandTable table{
      EqBand{.type = 3, .index = 0, .enable = 1, .gain = 80, .cutoffFreq = 4800, .stopFreq = 7200}};
  FilterChain chain;
  DesignBandFilters(table, chain, 16000);
  ASSERT_GT(CountSections(chain), 2 * FilterKernelLanes(FilterKernel::Portable));
  // Each run is far longer than the ring, so the thread that goes on would fill or drain it.
  constexpr std::size_t kSteps = 200000;
  for (const bool inFirst : {true, false}) {
    SCOPED_TRACE(inFirst ? "the first thread fails" : "the second thread fails");
    EndsWithinAMinute([&] {
      SplitSegments segments(FilterKernel::Portable, chain, 6);
      ASSERT_TRUE(segments.HasWorker());
      FailingSource source(inFirst ? 30000 : kSteps);
      FailingSink sink(inFirst ? kSteps : 30000);
      EXPECT_EQ(Thrown([&] { segments.Run(source, sink, kSteps, false); }),
                inFirst ? "the source failed" : "the sink failed");
      // The segments are spent: a later run fails at once instead of waiting.
      FailingSource good(kSteps);
      FailingSink goodSink(kSteps);
      EXPECT_FALSE(Thrown([&] { segments.Run(good, goodSink, 10, true); }).empty());
    });
  }
  FreeFilterChain(chain);
}

}  // namespace
