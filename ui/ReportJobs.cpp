#include "ui/ReportJobs.h"

#include <algorithm>

namespace quarn {

FileJobs::FileJobs(int threads, size_t limit) : m_limit(limit) {
  for (int i = 0; i < std::max(threads, 1); ++i) m_threads.emplace_back([this] { work(); });
}

void FileJobs::add(std::function<void()> job) {
  std::unique_lock lock(m_mutex);
  m_changed.wait(lock, [this] { return m_jobs.size() < m_limit || m_failure; });
  if (m_failure) std::rethrow_exception(m_failure);
  m_jobs.push_back(std::move(job));
  m_changed.notify_all();
}

void FileJobs::finish() {
  stop();
  if (m_failure) std::rethrow_exception(m_failure);
}

void FileJobs::work() {
  for (;;) {
    std::function<void()> job;
    {
      std::unique_lock lock(m_mutex);
      m_changed.wait(lock, [this] { return !m_jobs.empty() || m_stopping; });
      if (m_jobs.empty()) return;
      job = std::move(m_jobs.front());
      m_jobs.pop_front();
      m_changed.notify_all();
    }
    try {
      job();
    } catch (...) {
      const std::lock_guard lock(m_mutex);
      if (!m_failure) m_failure = std::current_exception();
      m_jobs.clear();
      m_changed.notify_all();
    }
  }
}

void FileJobs::stop() {
  {
    const std::lock_guard lock(m_mutex);
    m_stopping = true;
    m_changed.notify_all();
  }
  for (std::thread& t : m_threads) {
    if (t.joinable()) t.join();
  }
}

}  // namespace quarn
