#include "ui/BackgroundJobs.h"

#include <utility>

unsigned BackgroundJobs::Start(int kind, Work work) {
  Stop(kind);
  JoinEnded();
  const unsigned serial = ++m_serial;
  m_latest[kind] = serial;
  auto ended = std::make_shared<std::atomic<bool>>(false);
  std::jthread thread([work = std::move(work), serial, ended](const std::stop_token& stop) {
    work(stop, serial);
    ended->store(true, std::memory_order_release);
  });
  m_jobs.push_back(Job{.kind = kind, .thread = std::move(thread), .ended = std::move(ended)});
  return serial;
}

bool BackgroundJobs::IsLatest(int kind, unsigned serial) const {
  const auto latest = m_latest.find(kind);
  return latest != m_latest.end() && latest->second == serial;
}

void BackgroundJobs::Stop(int kind) {
  for (Job& job : m_jobs) {
    if (job.kind == kind) {
      job.thread.request_stop();
    }
  }
  m_latest.erase(kind);
}

void BackgroundJobs::JoinEnded() {
  std::erase_if(m_jobs, [](const Job& job) { return job.ended->load(std::memory_order_acquire); });
}

void BackgroundJobs::StopAll() {
  for (Job& job : m_jobs) {
    job.thread.request_stop();
  }
  m_jobs.clear();  // each jthread joins as it goes
  m_latest.clear();
}
