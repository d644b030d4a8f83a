#include "server/ClassMonitor.h"

#include <boost/asio/post.hpp>
#include <iostream>

#include "base/Clock.h"

namespace quarn::server {

namespace asio = boost::asio;

// A page's WebSocket as the monitor hosts it.
class ClassMonitor::Page final : public PageHost {
 public:
  Page(std::shared_ptr<ClassMonitor> monitor, TeacherDesk::PageId id, ClassPageKind kind)
      : m_monitor(std::move(monitor)), m_id(id), m_kind(kind) {}

  void attach(std::shared_ptr<PageLink> link) override {
    m_monitor->onStrand(
        [monitor = m_monitor, id = m_id, kind = m_kind, link = std::move(link)]() mutable {
          monitor->attachNow(id, kind, std::move(link));
        });
  }
  void detach(std::shared_ptr<PageLink>) override {
    m_monitor->onStrand([monitor = m_monitor, id = m_id] { monitor->detachNow(id); });
  }
  void receive(std::string text) override {
    m_monitor->onStrand([monitor = m_monitor, id = m_id, text = std::move(text)] {
      monitor->receiveNow(id, text);
    });
  }

 private:
  std::shared_ptr<ClassMonitor> m_monitor;
  TeacherDesk::PageId m_id;
  ClassPageKind m_kind;
};

ClassMonitor::ClassMonitor(asio::thread_pool& threads, std::string code, OpenData openData)
    : m_strand(asio::make_strand(threads.get_executor())),
      m_code(std::move(code)),
      m_openData(std::move(openData)),
      m_timer(m_strand) {}

ClassMonitor::~ClassMonitor() = default;

std::shared_ptr<PageHost> ClassMonitor::page(ClassPageKind kind) {
  return std::make_shared<Page>(shared_from_this(), m_nextPage++, kind);
}

template <class Step>
void ClassMonitor::onStrand(Step step) {
  asio::post(m_strand, [step = std::move(step)]() mutable {
    try {
      step();
    } catch (const std::exception& failure) {
      // A reading that fails is tried again at the next one; the pages
      // keep what they were sent.
      std::cerr << "quarngame-server: a class's live view failed: " << failure.what() << std::endl;
    }
  });
}

void ClassMonitor::attachNow(TeacherDesk::PageId id, ClassPageKind kind,
                             std::shared_ptr<PageLink> link) {
  if (!m_desk) {
    m_data = m_openData();
    m_desk = std::make_unique<TeacherDesk>(
        m_code, *m_data,
        [this](TeacherDesk::PageId page, const nlohmann::json& message) { deliver(page, message); },
        [] { return SystemWallClock::instance().seconds(); });
  }
  m_links[id] = std::move(link);
  m_desk->open(id, kind);
  if (!m_reading) readLater();
}

void ClassMonitor::detachNow(TeacherDesk::PageId id) {
  m_links.erase(id);
  if (m_desk) m_desk->close(id);
}

void ClassMonitor::receiveNow(TeacherDesk::PageId id, const std::string& text) {
  if (!m_desk) return;
  m_desk->receive(id, text, TeacherDesk::Clock::now());
  // What the teacher changed is shown at once, not at the next reading.
  if (m_desk->changedHere()) refreshNow();
}

void ClassMonitor::deliver(TeacherDesk::PageId id, const nlohmann::json& message) {
  const auto link = m_links.find(id);
  if (link == m_links.end()) return;
  // Text that is not UTF-8 is sent with replacement characters.
  link->second->deliver(message.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace));
}

void ClassMonitor::refreshNow() {
  try {
    m_desk->refresh(TeacherDesk::Clock::now());
  } catch (const std::exception& failure) {
    std::cerr << "quarngame-server: class " << m_code << ": " << failure.what() << std::endl;
  }
}

// Reads the class every kReadInterval while a page is open.
void ClassMonitor::readLater() {
  m_reading = true;
  m_timer.expires_after(TeacherDesk::kReadInterval);
  m_timer.async_wait([weak = weak_from_this()](boost::system::error_code error) {
    const auto self = weak.lock();
    if (!self) return;
    self->m_reading = false;
    if (error || !self->m_desk || !self->m_desk->hasPages()) return;
    self->refreshNow();
    self->readLater();
  });
}

ClassMonitors::ClassMonitors(asio::thread_pool& threads, ClassMonitor::OpenData openData)
    : m_threads(threads), m_openData(std::move(openData)) {}

std::shared_ptr<PageHost> ClassMonitors::page(const std::string& code, ClassPageKind kind) {
  const std::lock_guard lock(m_mutex);
  std::erase_if(m_monitors, [](const auto& entry) { return entry.second.expired(); });
  std::shared_ptr<ClassMonitor> monitor = m_monitors[code].lock();
  if (!monitor) {
    monitor = std::make_shared<ClassMonitor>(m_threads, code, m_openData);
    m_monitors[code] = monitor;
  }
  return monitor->page(kind);
}

}  // namespace quarn::server
