#include "platform/process/FanOut.h"

#include <system_error>
#include <utility>

namespace platform {

FanOut::~FanOut() {
  m_stop.request_stop();
  // m_threads, the last member, goes first: each std::jthread joins its thread.
}

bool FanOut::Start(std::function<void()> job) {
  try {
    m_threads.emplace_back([this, run = std::move(job)] {
      try {
        run();
      } catch (...) {
        {
          const std::lock_guard<std::mutex> lock(m_mutex);
          if (!m_failure) {
            m_failure = std::current_exception();
          }
        }
        m_stop.request_stop();
      }
    });
  } catch (const std::system_error&) {
    return false;
  }
  return true;
}

void FanOut::Join() {
  for (std::jthread& thread : m_threads) {
    thread.join();
  }
  m_threads.clear();
  std::exception_ptr failure;
  {
    const std::lock_guard<std::mutex> lock(m_mutex);
    failure = std::exchange(m_failure, nullptr);
  }
  if (failure) {
    std::rethrow_exception(failure);
  }
}

}  // namespace platform
