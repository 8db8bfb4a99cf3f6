#include "platform/process/FanOut.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>

namespace {

// Runs until the fan's stop token is set, at most a generous minute; true when stopped.
bool RunUntilStopped(const std::stop_token& stop) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
  while (!stop.stop_requested()) {
    if (std::chrono::steady_clock::now() > deadline) {
      return false;
    }
    std::this_thread::yield();
  }
  return true;
}

TEST(FanOutTest, AnExceptionOfTheOwnerStopsAndJoinsTheRunningJobs) {
  std::atomic<int> stopped{0};
  std::atomic<int> ended{0};
  try {
    platform::FanOut fan;
    for (int i = 0; i < 3; ++i) {
      ASSERT_TRUE(fan.Start([&stopped, &ended, stop = fan.StopToken()] {
        stopped += RunUntilStopped(stop) ? 1 : 0;
        ++ended;
      }));
    }
    throw std::runtime_error("the owner's share failed");
  } catch (const std::runtime_error& error) {
    EXPECT_STREQ(error.what(), "the owner's share failed");
  }
  EXPECT_EQ(ended.load(), 3);
  EXPECT_EQ(stopped.load(), 3);
}

TEST(FanOutTest, AJobsExceptionStopsTheOthersAndReachesTheOwner) {
  platform::FanOut fan;
  std::atomic<bool> sawStop{false};
  ASSERT_TRUE(fan.Start([&sawStop, stop = fan.StopToken()] { sawStop = RunUntilStopped(stop); }));
  ASSERT_TRUE(fan.Start([] { throw std::runtime_error("a job failed"); }));
  EXPECT_THROW(
      {
        try {
          fan.Join();
        } catch (const std::runtime_error& error) {
          EXPECT_STREQ(error.what(), "a job failed");
          throw;
        }
      },
      std::runtime_error);
  EXPECT_TRUE(sawStop.load());
  EXPECT_NO_THROW(fan.Join());  // the failure is passed on once
}

}  // namespace
