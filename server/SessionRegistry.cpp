#include "server/SessionRegistry.h"

#include "server/SessionHost.h"

namespace quarn::server {

std::shared_ptr<SessionHost> SessionRegistry::claim(const std::string& key,
                                                    const MakeSession& make) {
  const std::lock_guard<std::mutex> lock(m_mutex);
  const auto [entry, made] = m_entries.try_emplace(key);
  if (made) {
    try {
      entry->second.session = make();
    } catch (...) {
      m_entries.erase(entry);
      throw;
    }
  }
  ++entry->second.pages;
  return entry->second.session;
}

SessionRegistry::Entries::iterator SessionRegistry::find(const std::string& key,
                                                         const SessionHost* session) {
  const auto entry = m_entries.find(key);
  return entry != m_entries.end() && entry->second.session.get() == session ? entry
                                                                            : m_entries.end();
}

void SessionRegistry::release(const std::string& key, const SessionHost* session) {
  std::shared_ptr<SessionHost> dropped;  // let go outside the lock
  const std::lock_guard<std::mutex> lock(m_mutex);
  const auto entry = find(key, session);
  if (entry == m_entries.end() || entry->second.pages == 0) return;
  if (--entry->second.pages > 0) return;
  entry->second.leftAt = ++m_departures;
  const auto idle = idleBeyondBound();
  if (idle == m_entries.end()) return;
  dropped = std::move(idle->second.session);
  m_entries.erase(idle);
}

SessionRegistry::Entries::iterator SessionRegistry::idleBeyondBound() {
  std::size_t withoutPage = 0;
  auto oldest = m_entries.end();
  for (auto entry = m_entries.begin(); entry != m_entries.end(); ++entry) {
    if (entry->second.pages > 0) continue;
    ++withoutPage;
    if (entry->second.session->playing()) continue;
    if (oldest == m_entries.end() || entry->second.leftAt < oldest->second.leftAt) oldest = entry;
  }
  return withoutPage > m_maxWithoutPage ? oldest : m_entries.end();
}

bool SessionRegistry::dropUnclaimed(const std::string& key, const SessionHost* session) {
  std::shared_ptr<SessionHost> dropped;  // let go outside the lock
  const std::lock_guard<std::mutex> lock(m_mutex);
  const auto entry = find(key, session);
  if (entry == m_entries.end() || entry->second.pages > 0) return false;
  dropped = std::move(entry->second.session);
  m_entries.erase(entry);
  return true;
}

void SessionRegistry::drop(const std::string& key, const SessionHost* session) {
  std::shared_ptr<SessionHost> dropped;
  const std::lock_guard<std::mutex> lock(m_mutex);
  const auto entry = find(key, session);
  if (entry == m_entries.end()) return;
  dropped = std::move(entry->second.session);
  m_entries.erase(entry);
}

void SessionRegistry::clear() {
  Entries dropped;
  const std::lock_guard<std::mutex> lock(m_mutex);
  dropped.swap(m_entries);
}

std::size_t SessionRegistry::size() const {
  const std::lock_guard<std::mutex> lock(m_mutex);
  return m_entries.size();
}

std::vector<std::shared_ptr<SessionHost>> SessionRegistry::sessions() const {
  const std::lock_guard lock(m_mutex);
  std::vector<std::shared_ptr<SessionHost>> held;
  held.reserve(m_entries.size());
  for (const auto& [key, entry] : m_entries) held.push_back(entry.session);
  return held;
}

}  // namespace quarn::server
