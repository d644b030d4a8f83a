#include "server/ClassBoard.h"

namespace quarn::server {

namespace {

std::string keyOf(const std::string& place, const std::string& code) {
  return place + '\x1f' + code;
}

}  // namespace

ClassBoard& ClassBoard::shared() {
  static ClassBoard board;
  return board;
}

std::optional<ClassRow> ClassBoard::look(const std::string& place, const std::string& code,
                                         const std::function<std::optional<ClassRow>()>& read) {
  const auto now = std::chrono::steady_clock::now();
  {
    const std::lock_guard lock(m_mutex);
    const auto seen = m_seen.find(keyOf(place, code));
    if (seen != m_seen.end() && now - seen->second.at < kFreshFor) return seen->second.row;
  }
  return readNow(place, code, read);
}

std::optional<ClassRow> ClassBoard::readNow(const std::string& place, const std::string& code,
                                            const std::function<std::optional<ClassRow>()>& read) {
  const auto now = std::chrono::steady_clock::now();
  // Read outside the lock: a slow database holds no other class's students.
  std::optional<ClassRow> row = read();
  const std::lock_guard lock(m_mutex);
  m_seen[keyOf(place, code)] = {row, now};
  return row;
}

void ClassBoard::forget(const std::string& place, const std::string& code) {
  const std::lock_guard lock(m_mutex);
  m_seen.erase(keyOf(place, code));
}

}  // namespace quarn::server
