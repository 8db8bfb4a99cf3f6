#pragma once

#include <exception>
#include <functional>
#include <mutex>
#include <stop_token>
#include <thread>
#include <vector>

namespace platform {

/// Jobs run side by side for the span of one scope, each on a thread of its own, with
/// std::jthread's guarantee: every thread is joined before the object goes, also while an
/// exception unwinds its owner's scope (a joinable std::thread would end the program there).
/// A job's exception is caught on its thread and rethrown to the owner by Join. Once a job has
/// thrown, or the owner leaves without Join, the stop token is set, so that jobs that look at
/// it end early instead of finishing their work for nobody.
class FanOut {
 public:
  FanOut() = default;
  /// Sets the stop token and joins every thread; what the jobs threw is dropped (the owner is
  /// leaving without Join, so it has a reason of its own).
  ~FanOut();
  FanOut(const FanOut&) = delete;
  FanOut& operator=(const FanOut&) = delete;

  /// Starts `job` on a new thread. False when no thread can be started: the caller then runs
  /// that share of the work itself.
  [[nodiscard]] bool Start(std::function<void()> job);

  /// Set once a job has thrown or the owner leaves without Join.
  std::stop_token StopToken() const { return m_stop.get_token(); }

  /// Waits for every job started so far, then rethrows the first exception one of them threw.
  void Join();

 private:
  std::stop_source m_stop;
  std::mutex m_mutex;
  std::exception_ptr m_failure;         // the first job's exception, under m_mutex
  std::vector<std::jthread> m_threads;  // last: joined before the members above go
};

}  // namespace platform
