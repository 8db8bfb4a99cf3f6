#include "platform/process/WorkerThread.h"

#include <system_error>
#include <utility>

namespace platform {

WorkerThread::WorkerThread(bool withThread) {
  if (!withThread) {
    return;
  }
  try {
    m_thread = std::thread([this] { Loop(); });
  } catch (const std::system_error&) {
    // No thread: Start() runs each job itself.
  }
}

WorkerThread::~WorkerThread() {
  if (!m_thread.joinable()) {
    return;
  }
  {
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_quit = true;
  }
  m_changed.notify_all();
  m_thread.join();
}

void WorkerThread::Start(std::function<void()> job) {
  if (!m_thread.joinable()) {
    try {
      job();
    } catch (...) {
      m_failure = std::current_exception();
    }
    return;
  }
  {
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_job = std::move(job);
  }
  m_changed.notify_all();
}

void WorkerThread::Wait() {
  std::unique_lock<std::mutex> lock(m_mutex);
  m_changed.wait(lock, [this] { return !m_job; });
  if (m_failure) {
    std::exception_ptr failure = std::exchange(m_failure, nullptr);
    lock.unlock();
    std::rethrow_exception(failure);
  }
}

void WorkerThread::Loop() {
  std::unique_lock<std::mutex> lock(m_mutex);
  for (;;) {
    m_changed.wait(lock, [this] { return m_quit || m_job; });
    if (m_quit) {
      return;
    }
    lock.unlock();
    std::exception_ptr failure;
    try {
      m_job();
    } catch (...) {
      failure = std::current_exception();
    }
    lock.lock();
    m_failure = failure;
    m_job = nullptr;
    m_changed.notify_all();
  }
}

}  // namespace platform
