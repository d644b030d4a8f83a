#pragma once

// Worker threads that encode and write a report's drawn pictures while the
// next ones are drawn.

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace quarn {

// At most `limit` jobs wait, which bounds the memory the pictures take. The
// first failure is raised by add() or finish().
class FileJobs {
 public:
  FileJobs(int threads, size_t limit);
  FileJobs(const FileJobs&) = delete;
  FileJobs& operator=(const FileJobs&) = delete;
  ~FileJobs() { stop(); }

  void add(std::function<void()> job);
  // Waits for every job; raises the first failure.
  void finish();

 private:
  void work();
  void stop();

  size_t m_limit;
  std::mutex m_mutex;
  std::condition_variable m_changed;
  std::deque<std::function<void()>> m_jobs;
  std::exception_ptr m_failure;
  bool m_stopping = false;
  std::vector<std::thread> m_threads;
};

}  // namespace quarn
