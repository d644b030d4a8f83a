#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <string_view>

#include "base/Clock.h"
#include "base/Prompter.h"
#include "base/Random.h"
#include "db/ClassStore.h"
#include "db/DatabaseAccess.h"
#include "db/OpenDatabase.h"
#include "game/GameSession.h"
#include "server/BrowserView.h"
#include "server/Protocol.h"

namespace quarn::server {

// The end of one participant's session (the game ended its application):
// the connection closes, the server runs on.
struct SessionEnd {
  int code = 0;
};

// The server's Prompter for one browser: every message box goes to the page
// as a message, answered at once the way a careful moderator would, so that
// no thread waits on a browser. Taking a participant over from another
// workstation is answered as the person at the page answered it with the
// login (no unless told); other questions a moderator must answer yes to are
// answered no. Texts are in the language of the view's setting.
class PagePrompter final : public Prompter {
 public:
  PagePrompter(SendToPage send, const BrowserView& view) : m_send(std::move(send)), m_view(view) {}
  void wait(std::chrono::milliseconds duration) override;
  [[noreturn]] void endApplication(int code) override { throw SessionEnd{code}; }
  std::string translate(const char* context, const char* text) const override;
  // The retries of a failing write start afresh with each move.
  void newMove() { m_retries = 0; }
  // The person's answer to taking a participant over, for the next login.
  void answerTakeOver(bool yes) { m_takeOver = yes; }

 protected:
  Answer present(const Prompt& prompt) override;

 private:
  Answer answerFor(const Prompt& prompt);

  SendToPage m_send;
  const BrowserView& m_view;
  int m_retries = 0;
  bool m_takeOver = false;
};

// One participant's game in a browser: takes the page's messages and makes
// the game's moves; the game's events go back to the page. After a move the
// game is carried on as far as it goes without the participant (the page
// animates on its own), to the next open week, pause or game over.
class ParticipantSession {
 public:
  // `appFolder` holds data/ (the database or quarn.conf, the text files)
  // and Input/. `device` names the browser the way a workstation's mark
  // names its computer; the same browser (its session cookie) gives the same
  // name, also after the server restarted. The game's tick counter is the
  // steady clock's unless `ticks` names another (a test's).
  ParticipantSession(std::string appFolder, std::string device, SendToPage send,
                     TickCounter* ticks = nullptr);
  ParticipantSession(const ParticipantSession&) = delete;
  ParticipantSession& operator=(const ParticipantSession&) = delete;

  // How often the host calls tick(), on the session's own thread.
  static constexpr std::chrono::milliseconds kTickInterval{250};

  // Takes one text message from the page.
  void receive(std::string_view text);
  // The host's timer: the game's steps that come without the participant
  // (a team's moves, the workstation's sign of life). Cheap when there is
  // nothing to do; never waits.
  void tick();
  // A page that came back (a reload, a reconnect) is sent what it needs to
  // show the game as it stands.
  void resendState();
  // From now on `wake` is called, from any thread, when the team the
  // session waits for changed; the host then calls teamChanged() on the
  // session's own thread, so that the team's next week comes without
  // waiting for a tick.
  void wakeOnTeamChange(std::function<void()> wake) { m_stores.wakeOnTeamChange(std::move(wake)); }
  void teamChanged();
  // The workstation a browser plays at: this computer and process, the
  // browser named by `device` ("lab-server browser 1a2b3c4d").
  static Workstation workstationOf(const std::string& device);
  // Whether the session ended: the connection is to be closed.
  bool ended() const { return m_ended; }
  // Whether a participant logged in and plays: the session holds a game.
  bool playing() const { return !m_ended && m_game.phase() != Phase::LoggedOut; }

 private:
  // Runs `move`; the end of the session (or an error that ends it) is told
  // to the page.
  template <class Move>
  void guarded(Move move);
  void take(const PageMessage& message);
  void logIn(const nlohmann::json& body);
  void joinClass(const nlohmann::json& body);
  void lookAtClassDoor();
  std::optional<ClassRow> lookAtClass();
  void followClassPause(const std::optional<ClassRow>& row);
  void noteTeachersWords();
  void followTeachersWords(const ClassRow& row);
  void sendDoorWait();
  // Logs in as `request` says and starts the game.
  void startLogin(const LoginRequest& request, std::optional<Questionnaire> answers, bool takeOver);
  void order(const nlohmann::json& body);
  void answerPause(const nlohmann::json& body);
  void skipTraining(const nlohmann::json& body);
  void carryOn();
  void lookAtTeam();
  void refuse(const std::string& of, const std::string& reason);
  void reject(const std::string& reason, const std::string& detail);

  // A student of a class that has not started: the login waits for the
  // start (and a team formed at random, for the door to close).
  struct DoorWait {
    std::string code;
    LoginRequest request;
    std::optional<Questionnaire> answers;
    bool takeOver = false;
    bool teamAtDoor = false;  // the student's team is known once the door closed
  };

  SendToPage m_send;
  bool m_ended = false;
  std::string m_setting;  // the setting logged in to
  std::optional<DoorWait> m_doorWait;
  std::string m_classCode;     // the class the student joined; empty: none
  bool m_classPaused = false;  // as the class's state was last seen
  // The teacher's words to the class (ClassRow::pausesPassed,
  // trainingsEnded) as they stood when the student came to the pause it
  // waits at, or began its training; none while not at a pause, not in
  // training.
  std::optional<int64_t> m_pausesSeen;
  std::optional<int64_t> m_trainingsSeen;
  // The ticks since the workstation's mark was last refreshed.
  int m_quietTicks = 0;
  BrowserView m_view;
  PagePrompter m_prompter;
  SteadyTickCounter m_steadyTicks;
  TickCounter& m_ticks;
  StandardUniformRandom m_random;
  ChosenStores m_stores;
  DatabaseAccess m_db{m_stores, m_prompter, m_random};
  GameSession m_game;
};

}  // namespace quarn::server
