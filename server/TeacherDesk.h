#pragma once

// The teacher's page and the projector view of one class, apart from the
// sockets and threads that carry them: logs pages in with the class's
// password, takes the teacher's actions, and turns the database's live view
// into the messages the pages are sent when something changed.

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

#include "server/Protocol.h"
#include "server/TeacherData.h"

namespace quarn::server {

// How many wrong guesses of a class's password are taken: a burst of
// kBurst, then one every kInterval. The count is the class's, not a
// connection's, so that opening more connections guesses no faster.
class PasswordGuesses {
 public:
  static constexpr double kBurst = 5;
  static constexpr std::chrono::seconds kInterval{10};
  using Clock = std::chrono::steady_clock;

  // Whether a guess at `now` may be checked.
  bool admit(Clock::time_point now) const;
  // A wrong guess at `now` uses up one.
  void wrong(Clock::time_point now);

 private:
  double available(Clock::time_point now) const;
  double m_spent = 0;
  std::optional<Clock::time_point> m_last;
};

// What a page of the class is: the teacher's page, which may act, or the
// projector view, which only shows.
enum class ClassPageKind { Teacher, Projector };

class TeacherDesk {
 public:
  using Clock = std::chrono::steady_clock;
  using PageId = uint64_t;
  // Sends a message to one page.
  using Deliver = std::function<void(PageId, const nlohmann::json&)>;
  // The wall clock of the live view: seconds since 1970.
  using Seconds = std::function<int64_t()>;

  // How often the live view is read at most, and the charts drawn anew.
  static constexpr std::chrono::milliseconds kReadInterval{250};
  static constexpr std::chrono::milliseconds kChartInterval{1000};

  TeacherDesk(std::string code, TeacherData& data, Deliver deliver, Seconds seconds);

  void open(PageId page, ClassPageKind kind);
  void close(PageId page);
  // A text message of a page, at `now`.
  void receive(PageId page, std::string_view text, Clock::time_point now);
  // Reads the class anew and sends each logged-in page what changed for it.
  void refresh(Clock::time_point now);
  // Whether any page is open (the monitor reads only for open pages).
  bool hasPages() const { return !m_pages.empty(); }
  // Whether a change made here waits to be read at once.
  bool changedHere() const { return m_changedHere; }

 private:
  struct Page {
    ClassPageKind kind = ClassPageKind::Teacher;
    bool loggedIn = false;
  };

  void logIn(PageId id, Page& page, const nlohmann::json& body, Clock::time_point now);
  void act(PageId id, const PageMessage& message);
  void start(PageId id, const std::string& type);
  void pause(PageId id, const std::string& type);
  void setState(PageId id, const std::string& type, const std::string& state);
  void tellStudents(PageId id, const std::string& type, ClassWord word);
  void replace(PageId id, const nlohmann::json& body);
  void sendDebriefing(std::optional<PageId> only);
  void sendToLoggedIn(const nlohmann::json& message, bool projectorsToo);
  void refuse(PageId id, const std::string& of, const std::string& reason);
  std::optional<ClassRecord> record();

  std::string m_code;
  TeacherData& m_data;
  Deliver m_deliver;
  Seconds m_seconds;
  std::map<PageId, Page> m_pages;
  PasswordGuesses m_guesses;
  std::optional<ClassRecord> m_class;
  nlohmann::json m_view;    // the live view last sent
  std::string m_progress;   // where every team and student stood when the charts were drawn
  nlohmann::json m_charts;  // the charts last sent
  std::optional<Clock::time_point> m_chartsDrawn;
  bool m_changedHere = false;
  bool m_debriefed = false;  // the debriefing of the ended class was sent
};

// The live view as the pages are sent it.
nlohmann::json classViewMessage(const ClassRecord& record, const LabWatch& lab);
// Where the teams and students stand: changes when a week is played.
std::string classProgress(const LabWatch& lab);
// The projector's charts of the latest experiment trial of `trials`.
nlohmann::json classChartsMessage(const std::vector<RecordedTrial>& trials);
// The debriefing of the latest experiment trial of `trials`, the class's
// setting.
nlohmann::json debriefingMessage(const std::vector<RecordedTrial>& trials,
                                 const std::string& setting);

}  // namespace quarn::server
