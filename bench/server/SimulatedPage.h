#pragma once

// A participant's page as bench_browsers and bench_class simulate it: one
// WebSocket to quarngame-server, speaking the page's protocol as the browser
// does, many of them on one io_context. It logs in (with the questionnaire:
// its User ID is new), or joins a class by its code with a name, orders each
// open week after a jittered pace, answers pauses with the moderator's
// password, and stops at the game's end, or vanishes at the week it was
// given. It records each order and when its answer came.

#include <boost/asio/io_context.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/websocket.hpp>
#include <chrono>
#include <deque>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "bench/server/BrowserFigures.h"

namespace quarn::bench {

struct PagePlan {
  uint16_t port = 0;
  std::string subject;
  std::string setting;
  std::string team;  // empty: plays alone
  std::chrono::milliseconds pace{1000};
  std::string pausePassword;
};

// A student of a class: joins the class of `code` with `name` instead of
// logging in (the class makes the User ID and places the student). When
// its `vanishAtWeek`th week of the game opens, it closes its socket at
// once, before ordering, and never comes back; 0: never.
struct StudentPlan {
  std::string code;
  std::string name;
  int vanishAtWeek = 0;
};

class SimulatedPage : public std::enable_shared_from_this<SimulatedPage> {
 public:
  using Clock = std::chrono::steady_clock;

  // `runStart` is the moment the recorded times count from.
  SimulatedPage(boost::asio::io_context& io, PagePlan plan, Clock::time_point runStart,
                unsigned seed);

  // Makes the page a student of a class; before start.
  void joinAsStudent(StudentPlan student) { m_student = std::move(student); }
  // Connects after `delay` and plays to the game's end.
  void start(std::chrono::milliseconds delay);
  // Stops a page that is still playing, its socket closed at once.
  void abandon();

  const PagePlan& plan() const { return m_plan; }
  // The User ID the page plays under: the plan's, or the one its class gave.
  const std::string& subject() const { return m_subject; }
  // Whether its class took the student (classJoined).
  bool joinedClass() const { return m_joinedClass; }
  // Whether it vanished as planned.
  bool vanished() const { return m_vanished; }
  // The weeks (trial, week) the week clock ordered for the page's stage.
  const std::set<std::pair<int, int>>& weeksClockOrdered() const { return m_clockOrdered; }
  // How many orders the page sent that the clock overtook: it had ordered
  // their week when they came. They are not among orders().
  int ordersOvertaken() const { return m_overtaken; }
  const std::vector<OrderMade>& orders() const { return m_orders; }
  // The trials whose end the page was told, by number.
  const std::set<int>& trialsEnded() const { return m_trialsEnded; }
  // When the page had its first open week (ms since the run began).
  std::optional<double> firstWeekMs() const { return m_firstWeekMs; }
  bool gameOver() const { return m_gameOver; }
  // Why the page stopped before the game's end; empty when it did not.
  const std::string& failure() const { return m_failure; }
  int errorsReceived() const { return m_errors; }

 private:
  void connect();
  void read();
  void take(const nlohmann::json& message);
  void logIn(bool withQuestionnaire);
  void joinClass();
  void classJoined(const nlohmann::json& message);
  void weekOpened(const nlohmann::json& message);
  void figures(const nlohmann::json& message);
  void refused(const nlohmann::json& message);
  void clockOrdered();
  void answerPending();
  void afterPace(std::function<void()> move);
  void orderOpenWeek();
  void send(const nlohmann::json& message);
  void write();
  void fail(const std::string& why);
  void finish();
  void closeSocket();
  void vanish();
  void watch();
  double sinceStart() const;

  boost::beast::websocket::stream<boost::beast::tcp_stream> m_socket;
  boost::asio::steady_timer m_pace;
  boost::asio::steady_timer m_watchdog;
  boost::beast::flat_buffer m_buffer;
  std::deque<std::string> m_outbox;
  PagePlan m_plan;
  StudentPlan m_student;
  Clock::time_point m_runStart;
  std::mt19937 m_random;
  std::string m_subject;

  int m_role = -1;
  int m_trial = 0;
  int m_week = 0;
  int m_turn = 0;
  int m_weeksOpened = 0;                   // distinct weeks of the game opened so far
  std::pair<int, int> m_lastOpened{0, 0};  // trial and week
  int m_ownOrder = 4;  // what the own stage was last ordered, when the page shows it
  Clock::time_point m_weekShown;
  std::optional<size_t> m_pendingOrder;  // index in m_orders awaiting its answer
  bool m_reorderedAfterRefusal = false;
  bool m_askedAgain = false;      // the login was sent again with the questionnaire
  std::string m_lastText;         // the text of the latest message that had one
  bool m_orderOvertaken = false;  // the clock closed the week of the order sent last

  std::vector<OrderMade> m_orders;
  std::set<int> m_trialsEnded;
  std::optional<double> m_firstWeekMs;
  std::set<std::pair<int, int>> m_clockOrdered;
  bool m_joinedClass = false;
  bool m_vanished = false;
  bool m_gameOver = false;
  bool m_closed = false;
  std::string m_failure;
  int m_errors = 0;
  int m_overtaken = 0;
};

}  // namespace quarn::bench
