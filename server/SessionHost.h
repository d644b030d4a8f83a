#pragma once

#include <atomic>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/strand.hpp>
#include <boost/asio/thread_pool.hpp>
#include <chrono>
#include <cstdint>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>

#include "server/PageHost.h"
#include "server/ParticipantSession.h"

namespace quarn::server {

class SessionRegistry;

// How long a session whose page went away stays in memory for the page to
// come back. Then it is dropped without ending the game: the participant's
// mark ages, `watch` shows the participant gone, and a later login resumes
// as after a crash.
inline constexpr std::chrono::milliseconds kKeepWithoutPage = std::chrono::minutes(10);

// Where a session is kept: its key in the registry, whether a page may come
// back to it (a browser with a cookie), and for how long it waits for one.
struct SessionPlace {
  std::string key;
  bool resumable = false;
  std::chrono::milliseconds keepWithoutPage = kKeepWithoutPage;
};

// One participant's session on a strand of the game threads, so that its
// database waits hold no other session and no socket. Pages attach to it
// and leave; the page's messages are taken one at a time, and its clock
// ticks while a page is attached.
class SessionHost final : public PageHost, public std::enable_shared_from_this<SessionHost> {
 public:
  SessionHost(boost::asio::thread_pool& threads, SessionRegistry& registry, SessionPlace place,
              const std::string& appFolder, const std::string& device);
  SessionHost(const SessionHost&) = delete;
  SessionHost& operator=(const SessionHost&) = delete;

  // Each of these returns at once; the work runs on the session's strand,
  // in the order of the calls.
  //
  // `page` shows the session from now on; a page shown before is told that
  // the session was opened elsewhere, and closed. A page that comes back is
  // sent what it needs to show the game as it stands.
  void attach(std::shared_ptr<PageLink> page) override;
  // `page` is gone. Without a page the session waits for one to come back
  // as long as its place says, or is dropped at once when none may.
  void detach(std::shared_ptr<PageLink> page) override;
  // A text message from the page.
  void receive(std::string text) override;

  // Whether the session holds a game (a participant logged in), or a
  // message that may start one is still on its way; from any thread.
  bool playing() const { return m_holdsGame || m_messagesOnTheWay > 0; }

 private:
  void attachNow(std::shared_ptr<PageLink> page);
  void detachNow(const std::shared_ptr<PageLink>& page);
  template <class Step>
  void play(const Step& step);
  void send(const nlohmann::json& message);
  void end();
  void wakeOnTeamChange();
  void tickLater();
  void tick(boost::system::error_code error);
  void waitForPage();
  void stopWaiting(uint64_t waiting);

  using Strand = boost::asio::strand<boost::asio::thread_pool::executor_type>;
  Strand m_strand;
  SessionRegistry& m_registry;
  SessionPlace m_place;
  boost::asio::steady_timer m_tickTimer;
  boost::asio::steady_timer m_waitTimer;
  std::shared_ptr<PageLink> m_page;
  bool m_hadPage = false;
  bool m_ticking = false;
  bool m_ended = false;
  uint64_t m_waiting = 0;
  std::atomic<bool> m_holdsGame = false;
  std::atomic<int> m_messagesOnTheWay = 0;  // received, not yet taken
  ParticipantSession m_session;
};

}  // namespace quarn::server
