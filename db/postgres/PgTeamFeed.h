#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "db/postgres/PgConnection.h"

namespace quarn {

// The team changes the server tells (NOTIFY), taken by one listening
// connection for all the participants a process plays at once, so that a
// waiting participant needs no connection of its own. A thread of the feed
// waits on that connection and marks the subscriptions a change concerns;
// a subscription may also name a function to call then, so that a caller
// that never waits (a server's session) learns of the change at once.
// Safe to use from several threads.
class PgTeamFeed : public std::enable_shared_from_this<PgTeamFeed> {
 public:
  explicit PgTeamFeed(std::function<std::string()> connectionString);
  ~PgTeamFeed();
  PgTeamFeed(const PgTeamFeed&) = delete;
  PgTeamFeed& operator=(const PgTeamFeed&) = delete;

  // How long the first wait of a subscription waits for its listening to
  // start before it fails as a lost server would.
  static constexpr std::chrono::seconds kListenWait{10};
  // How long the thread waits before it connects again after a failure.
  static constexpr std::chrono::seconds kReconnectWait{1};

  // One participant's interest in one team.
  class Subscription {
   public:
    Subscription(std::shared_ptr<PgTeamFeed> feed, std::string channel, std::string payload)
        : m_feed(std::move(feed)), m_channel(std::move(channel)), m_payload(std::move(payload)) {}
    ~Subscription();
    Subscription(const Subscription&) = delete;
    Subscription& operator=(const Subscription&) = delete;

    const std::string& channel() const { return m_channel; }
    const std::string& payload() const { return m_payload; }

   private:
    friend class PgTeamFeed;
    std::shared_ptr<PgTeamFeed> m_feed;
    std::string m_channel;
    std::string m_payload;
    // Guarded by the feed's mutex:
    bool m_listening = false;  // the connection listens to the channel now
    bool m_waited = false;     // the first wait is over
    bool m_changed = false;    // a change since the last wait
    std::function<void()> m_wake;
  };

  // Listens to `channel` for changes named `payload` from now on. `wake`
  // (if any) is called, from the feed's thread, after each change.
  std::shared_ptr<Subscription> subscribe(const std::string& channel, const std::string& payload,
                                          std::function<void()> wake = {});
  // Waits up to `timeout` for a change of the subscription's team; true when
  // it changed. The first wait only waits until the listening started, and
  // returns true, so that the caller looks again: a change between its last
  // look and the listening is not missed, and none after it is. While the
  // connection is lost, every change counts as missed: each subscription is
  // marked changed once it listens again.
  bool waitForChange(Subscription& subscription, std::chrono::milliseconds timeout);

 private:
  void unsubscribe(const Subscription& subscription);
  void run();
  bool connect(std::unique_lock<std::mutex>& lock);
  void listenToNewChannels(std::vector<std::function<void()>>& wakes);
  void takeNotifications(std::vector<std::function<void()>>& wakes);
  void loseConnection(const std::string& failure);
  void markChanged(Subscription& subscription, std::vector<std::function<void()>>& wakes);
  void wakeThread();

  std::mutex m_mutex;
  std::condition_variable m_changes;  // a subscription changed or started listening
  std::function<std::string()> m_connectionString;
  std::unique_ptr<PgConnection> m_listener;
  std::optional<std::string> m_failure;  // why the last connection failed, while it does
  std::set<std::string> m_listened;      // the channels the connection listens to
  std::multimap<std::string, Subscription*> m_byPayload;  // what a notification names
  bool m_stopping = false;
  int m_wakeup = -1;  // an eventfd that breaks the thread's wait
  std::thread m_thread;
};

}  // namespace quarn
