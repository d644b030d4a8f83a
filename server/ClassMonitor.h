#pragma once

#include <boost/asio/steady_timer.hpp>
#include <boost/asio/strand.hpp>
#include <boost/asio/thread_pool.hpp>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "server/PageHost.h"
#include "server/TeacherDesk.h"

namespace quarn::server {

// The one reader of a class in this process: while a teacher's page or a
// projector view of the class is open, it reads the class's live view at
// most every TeacherDesk::kReadInterval (and at once after a change made
// through a page), and pushes what changed to every page of the class. Its
// reads and the teacher's actions run on a strand of the game threads.
class ClassMonitor : public std::enable_shared_from_this<ClassMonitor> {
 public:
  using OpenData = std::function<std::unique_ptr<TeacherData>()>;

  ClassMonitor(boost::asio::thread_pool& threads, std::string code, OpenData openData);
  ~ClassMonitor();
  ClassMonitor(const ClassMonitor&) = delete;
  ClassMonitor& operator=(const ClassMonitor&) = delete;

  // A page of the class: the host its WebSocket speaks to. The monitor
  // lives as long as one of its pages does.
  std::shared_ptr<PageHost> page(ClassPageKind kind);

 private:
  class Page;
  template <class Step>
  void onStrand(Step step);
  void attachNow(TeacherDesk::PageId id, ClassPageKind kind, std::shared_ptr<PageLink> link);
  void detachNow(TeacherDesk::PageId id);
  void receiveNow(TeacherDesk::PageId id, const std::string& text);
  void deliver(TeacherDesk::PageId id, const nlohmann::json& message);
  void refreshNow();
  void readLater();

  using Strand = boost::asio::strand<boost::asio::thread_pool::executor_type>;
  Strand m_strand;
  std::string m_code;
  OpenData m_openData;
  boost::asio::steady_timer m_timer;
  bool m_reading = false;
  std::unique_ptr<TeacherData> m_data;
  std::unique_ptr<TeacherDesk> m_desk;
  std::map<TeacherDesk::PageId, std::shared_ptr<PageLink>> m_links;
  std::atomic<TeacherDesk::PageId> m_nextPage = 1;
};

// The class monitors of the process, by class code: a page of a class finds
// the class's one monitor, made when its first page comes.
class ClassMonitors {
 public:
  ClassMonitors(boost::asio::thread_pool& threads, ClassMonitor::OpenData openData);
  // A page of the class of `code` (see classCodeOf).
  std::shared_ptr<PageHost> page(const std::string& code, ClassPageKind kind);

 private:
  boost::asio::thread_pool& m_threads;
  ClassMonitor::OpenData m_openData;
  std::mutex m_mutex;
  std::map<std::string, std::weak_ptr<ClassMonitor>> m_monitors;
};

}  // namespace quarn::server
