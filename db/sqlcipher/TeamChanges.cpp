#include "db/sqlcipher/TeamChanges.h"

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
  const std::lock_guard lock(m_mutex);
  Team& entry = m_teams[team];
  ++entry.changes;
  entry.changed.notify_all();
}

uint64_t TeamChanges::waitPast(const std::string& team, uint64_t seen,
                               std::chrono::milliseconds timeout) {
  std::unique_lock lock(m_mutex);
  Team& entry = m_teams[team];
  entry.changed.wait_for(lock, timeout, [&] { return entry.changes != seen; });
  return entry.changes;
}

}  // namespace quarn
