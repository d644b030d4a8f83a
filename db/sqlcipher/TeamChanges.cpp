#include "db/sqlcipher/TeamChanges.h"

#include <vector>

namespace quarn {

TeamChanges& TeamChanges::instance() {
  static TeamChanges board;
  return board;
}

uint64_t TeamChanges::count(const std::string& team) {
  const std::lock_guard lock(m_mutex);
  return m_teams[team].changes;
}

void TeamChanges::tell(const std::string& team) {
  std::vector<std::function<void()>> wakes;
  {
    const std::lock_guard lock(m_mutex);
    Team& entry = m_teams[team];
    ++entry.changes;
    entry.changed.notify_all();
    for (const auto& [owner, wake] : entry.wakes) wakes.push_back(wake);
  }
  for (const std::function<void()>& wake : wakes) wake();
}

void TeamChanges::setWake(const std::string& team, const void* owner, std::function<void()> wake) {
  const std::lock_guard lock(m_mutex);
  Team& entry = m_teams[team];
  if (wake) {
    entry.wakes[owner] = std::move(wake);
  } else {
    entry.wakes.erase(owner);
  }
}

uint64_t TeamChanges::waitPast(const std::string& team, uint64_t seen,
                               std::chrono::milliseconds timeout) {
  std::unique_lock lock(m_mutex);
  Team& entry = m_teams[team];
  entry.changed.wait_for(lock, timeout, [&] { return entry.changes != seen; });
  return entry.changes;
}

}  // namespace quarn
