#include "server/SessionHost.h"

#include <boost/asio/post.hpp>
#include <iostream>

#include "server/SessionRegistry.h"

namespace quarn::server {

namespace asio = boost::asio;

SessionHost::SessionHost(asio::thread_pool& threads, SessionRegistry& registry, SessionPlace place,
                         const std::string& appFolder, const std::string& device)
    : m_strand(asio::make_strand(threads.get_executor())),
      m_registry(registry),
      m_place(std::move(place)),
      m_tickTimer(m_strand),
      m_waitTimer(m_strand),
      m_session(appFolder, device, [this](const nlohmann::json& message) { send(message); }) {}

void SessionHost::attach(std::shared_ptr<PageLink> page) {
  asio::post(m_strand, [self = shared_from_this(), page = std::move(page)]() mutable {
    self->attachNow(std::move(page));
  });
}

void SessionHost::detach(std::shared_ptr<PageLink> page) {
  asio::post(m_strand,
             [self = shared_from_this(), page = std::move(page)] { self->detachNow(page); });
}

void SessionHost::receive(std::string text) {
  ++m_messagesOnTheWay;
  asio::post(m_strand, [self = shared_from_this(), text = std::move(text)] {
    self->play([&] { self->m_session.receive(text); });
    --self->m_messagesOnTheWay;
  });
}

void SessionHost::attachNow(std::shared_ptr<PageLink> page) {
  if (m_page) {
    m_page->deliver(nlohmann::json{{"type", "ended"}, {"reason", "openedElsewhere"}}.dump());
    m_page->close();
  }
  m_page = std::move(page);
  ++m_waiting;
  m_waitTimer.cancel();
  if (m_ended) {
    // The game ended while this page was on its way.
    send({{"type", "ended"}, {"reason", "the session ended"}});
    return end();
  }
  if (m_hadPage) play([this] { m_session.resendState(); });
  if (!m_hadPage) wakeOnTeamChange();
  m_hadPage = true;
  if (!m_ticking) tickLater();
}

void SessionHost::detachNow(const std::shared_ptr<PageLink>& page) {
  if (m_page == page) m_page.reset();
  if (m_page || m_ended) return;
  if (m_place.resumable) {
    waitForPage();
  } else {
    m_registry.drop(m_place.key, this);
  }
}

// Runs one of the session's steps. A step that fails beyond what the
// session handles ends this session alone: the server and the other
// sessions run on.
template <class Step>
void SessionHost::play(const Step& step) {
  if (m_ended) return;
  try {
    step();
  } catch (const std::exception& error) {
    std::cerr << "quarngame-server: a session failed: " << error.what() << std::endl;
    send({{"type", "ended"}, {"reason", "error"}});
    m_holdsGame = false;
    return end();
  }
  m_holdsGame = m_session.playing();
  if (m_session.ended()) end();
}

void SessionHost::send(const nlohmann::json& message) {
  // Text that is not UTF-8 (from a file, say) is sent with replacement
  // characters rather than failing the session.
  if (m_page)
    m_page->deliver(message.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace));
}

// The session is over: its page closes once it has what was sent, and a
// page that comes with the same cookie gets a new session.
void SessionHost::end() {
  m_ended = true;
  if (m_page) m_page->close();
  m_page.reset();
  m_registry.drop(m_place.key, this);
}

// A change of the team is looked at on the session's strand at once; a
// session without a page leaves it to the next tick after the page came
// back, as a sleeping workstation does.
void SessionHost::wakeOnTeamChange() {
  m_session.wakeOnTeamChange([weak = weak_from_this()] {
    const auto self = weak.lock();
    if (!self) return;
    asio::post(self->m_strand, [self] {
      if (self->m_page) self->play([&] { self->m_session.teamChanged(); });
    });
  });
}

void SessionHost::tickLater() {
  m_ticking = true;
  m_tickTimer.expires_after(ParticipantSession::kTickInterval);
  m_tickTimer.async_wait([weak = weak_from_this()](boost::system::error_code error) {
    if (const auto self = weak.lock()) self->tick(error);
  });
}

void SessionHost::tick(boost::system::error_code error) {
  m_ticking = false;
  if (error || !m_page || m_ended) return;
  play([this] { m_session.tick(); });
  if (m_page && !m_ended) tickLater();
}

void SessionHost::waitForPage() {
  const uint64_t waiting = ++m_waiting;
  m_waitTimer.expires_after(m_place.keepWithoutPage);
  m_waitTimer.async_wait([weak = weak_from_this(), waiting](boost::system::error_code error) {
    if (error) return;
    if (const auto self = weak.lock()) self->stopWaiting(waiting);
  });
}

// No page came back in time: the session leaves memory, the game stays as
// it stands in the database.
void SessionHost::stopWaiting(uint64_t waiting) {
  if (waiting != m_waiting || m_page) return;
  m_registry.dropUnclaimed(m_place.key, this);
}

}  // namespace quarn::server
