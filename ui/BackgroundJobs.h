#pragma once

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <stop_token>
#include <thread>
#include <vector>

/// The window's work on threads of its own (reading a recording for its spectrum and for its
/// envelope, the spectrum of a selection, the part of a recording to listen to). A new job of a
/// kind replaces the one before it: that one is asked to stop and left to end on its own, so
/// the window never waits for it, and its result is recognised as stale by its serial. The jobs
/// that have ended are joined as new ones start or when asked (they have returned: no waiting);
/// the destructor asks every job to stop and waits for them, each at most one block of its
/// reading.
class BackgroundJobs {
 public:
  using Work = std::function<void(const std::stop_token& stop, unsigned serial)>;

  BackgroundJobs() = default;
  BackgroundJobs(const BackgroundJobs&) = delete;
  BackgroundJobs& operator=(const BackgroundJobs&) = delete;
  ~BackgroundJobs() { StopAll(); }

  /// Runs `work` on a thread of its own as the latest job of `kind`; returns its serial.
  unsigned Start(int kind, Work work);
  /// True when `serial` is the latest job of `kind` (its result is still wanted).
  bool IsLatest(int kind, unsigned serial) const;
  /// Asks the latest job of `kind` to stop; its result is no longer wanted.
  void Stop(int kind);
  /// Joins the jobs that have ended (at once: their threads have returned).
  void JoinEnded();
  /// Asks every job to stop and waits until each has ended.
  void StopAll();

 private:
  struct Job {
    int kind = 0;
    std::jthread thread;
    std::shared_ptr<std::atomic<bool>> ended;  // set as the thread's last step
  };

  std::vector<Job> m_jobs;
  std::map<int, unsigned> m_latest;
  unsigned m_serial = 0;
};
