#pragma once

#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>

namespace platform {

/// One thread that runs one job at a time for its owner's whole life: Start() hands it a job,
/// Wait() returns once the job has ended (and throws what the job threw). Where no thread can be
/// started, Start() runs the job itself, so that the owner still works, one step after another.
class WorkerThread {
 public:
  /// `withThread` false: the jobs run on the thread that starts them.
  explicit WorkerThread(bool withThread = true);
  ~WorkerThread();
  WorkerThread(const WorkerThread&) = delete;
  WorkerThread& operator=(const WorkerThread&) = delete;

  /// False when the jobs run on the thread that starts them.
  bool HasThread() const { return m_thread.joinable(); }

  /// Runs `job`; the previous job must have been waited for.
  void Start(std::function<void()> job);

  /// Waits for the job started last, if any.
  void Wait();

 private:
  void Loop();

  std::mutex m_mutex;
  std::condition_variable m_changed;
  std::function<void()> m_job;
  std::exception_ptr m_failure;
  bool m_quit = false;
  std::thread m_thread;  // last: it starts with the members above in place
};

}  // namespace platform
