#include "db/postgres/PgTeamFeed.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>

#include "db/postgres/PgError.h"

namespace quarn {

PgTeamFeed::PgTeamFeed(std::function<std::string()> connectionString)
    : m_connectionString(std::move(connectionString)),
      m_wakeup(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)),
      m_thread([this] { run(); }) {}

PgTeamFeed::~PgTeamFeed() {
  {
    const std::lock_guard lock(m_mutex);
    m_stopping = true;
  }
  wakeThread();
  m_thread.join();
  ::close(m_wakeup);
}

PgTeamFeed::Subscription::~Subscription() {
  m_feed->unsubscribe(*this);
}

std::shared_ptr<PgTeamFeed::Subscription> PgTeamFeed::subscribe(const std::string& channel,
                                                                const std::string& payload,
                                                                std::function<void()> wake) {
  auto subscription = std::make_shared<Subscription>(shared_from_this(), channel, payload);
  subscription->m_wake = std::move(wake);
  {
    const std::lock_guard lock(m_mutex);
    subscription->m_listening = m_listener && m_listened.count(channel) > 0;
    m_byPayload.emplace(payload, subscription.get());
  }
  if (!subscription->m_listening) wakeThread();
  return subscription;
}

// The channel stays listened to: a team's members come and go together, and
// a server plays a few hundred teams at most.
void PgTeamFeed::unsubscribe(const Subscription& subscription) {
  const std::lock_guard lock(m_mutex);
  const auto [first, last] = m_byPayload.equal_range(subscription.payload());
  const auto mine =
      std::find_if(first, last, [&](const auto& entry) { return entry.second == &subscription; });
  if (mine != last) m_byPayload.erase(mine);
}

bool PgTeamFeed::waitForChange(Subscription& subscription, std::chrono::milliseconds timeout) {
  std::unique_lock lock(m_mutex);
  if (!subscription.m_waited) {
    if (!m_changes.wait_for(lock, kListenWait, [&] {
          return subscription.m_listening || (m_failure && !m_listener);
        })) {
      throw PgError(PgErrorKind::ConnectionFailure, "", "The server did not start listening");
    }
    if (!subscription.m_listening) throw PgError(PgErrorKind::ConnectionFailure, "", *m_failure);
    subscription.m_waited = true;
    subscription.m_changed = false;
    return true;
  }
  if (!m_changes.wait_for(lock, timeout, [&] { return subscription.m_changed; })) return false;
  subscription.m_changed = false;
  return true;
}

void PgTeamFeed::run() {
  std::unique_lock lock(m_mutex);
  while (!m_stopping) {
    if (!m_listener && !connect(lock)) {
      lock.unlock();
      pollfd wakeup{m_wakeup, POLLIN, 0};
      ::poll(&wakeup, 1, static_cast<int>(std::chrono::milliseconds(kReconnectWait).count()));
      lock.lock();
      continue;
    }
    std::vector<std::function<void()>> wakes;
    try {
      listenToNewChannels(wakes);
      takeNotifications(wakes);
    } catch (const PgError& failure) {
      loseConnection(failure.what());
      continue;
    }
    m_changes.notify_all();
    const int socket = m_listener->socket();
    lock.unlock();
    for (const std::function<void()>& wake : wakes) wake();
    pollfd arrivals[2] = {{socket, POLLIN, 0}, {m_wakeup, POLLIN, 0}};
    ::poll(arrivals, 2, -1);
    uint64_t count = 0;
    [[maybe_unused]] const ssize_t read = ::read(m_wakeup, &count, sizeof count);
    lock.lock();
  }
}

// Connects without holding the lock: the waits and subscriptions go on
// meanwhile.
bool PgTeamFeed::connect(std::unique_lock<std::mutex>& lock) {
  const std::function<std::string()> connectionString = m_connectionString;
  lock.unlock();
  std::unique_ptr<PgConnection> listener;
  std::optional<std::string> failure;
  try {
    listener = std::make_unique<PgConnection>(connectionString());
  } catch (const std::exception& error) {
    failure = error.what();
  }
  lock.lock();
  m_listener = std::move(listener);
  m_failure = failure;
  m_listened.clear();
  if (failure) m_changes.notify_all();
  return m_listener != nullptr;
}

// A channel listened to anew may have missed changes: its subscriptions
// are marked changed, so that their callers look.
void PgTeamFeed::listenToNewChannels(std::vector<std::function<void()>>& wakes) {
  for (auto& [payload, subscription] : m_byPayload) {
    const std::string& channel = subscription->channel();
    if (m_listened.insert(channel).second) m_listener->exec("LISTEN " + channel);
    if (subscription->m_listening) continue;
    subscription->m_listening = true;
    if (subscription->m_waited) markChanged(*subscription, wakes);
  }
}

void PgTeamFeed::takeNotifications(std::vector<std::function<void()>>& wakes) {
  for (const std::string& payload : m_listener->waitForNotifications({})) {
    const auto [first, last] = m_byPayload.equal_range(payload);
    for (auto entry = first; entry != last; ++entry) markChanged(*entry->second, wakes);
  }
}

void PgTeamFeed::loseConnection(const std::string& failure) {
  m_listener.reset();
  m_failure = failure;
  m_listened.clear();
  for (auto& [payload, subscription] : m_byPayload) subscription->m_listening = false;
  m_changes.notify_all();
}

void PgTeamFeed::markChanged(Subscription& subscription,
                             std::vector<std::function<void()>>& wakes) {
  subscription.m_changed = true;
  if (subscription.m_wake) wakes.push_back(subscription.m_wake);
}

void PgTeamFeed::wakeThread() {
  const uint64_t one = 1;
  [[maybe_unused]] const ssize_t written = ::write(m_wakeup, &one, sizeof one);
}

}  // namespace quarn
