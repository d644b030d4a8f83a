#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace quarn {

// The buttons (and the icon) of a question.
enum class PromptStyle {
  Ok,
  OkWarning,
  YesNo,
  YesNoWarning,
  YesNoQuestion,
  AbortRetryIgnore,
};

// The button pressed; the numbers are the classic button codes.
enum class Answer : int16_t { Ok = 1, Abort = 3, Retry = 4, Ignore = 5, Yes = 6, No = 7 };

// What a question is about, so that code answering in a person's place (the
// pilot, tests) can tell the questions apart without reading their text.
enum class PromptKind {
  Message,  // anything not named below
  Error,    // a failure the application ends on: "Error <number>: ..."
  // The database.
  DatabaseOutdated,     // the file lacks a table or column: the application ends
  DatabaseRetry,        // a database use keeps failing: retry or quit
  DatabaseWriteFailed,  // a result row could not be stored: abort, retry or ignore
  DatabaseNotStored,    // what a quit over a failed write leaves (or may leave) unstored
  DatabaseRefused,      // a failure no retry mends (a refused login): said once, then the end
  // The participant's text file.
  TextWriteFailed,  // a week's line could not be written: abort, retry or ignore
  TextNotWritten,   // what an abort over the text file leaves unwritten
  // The login.
  SetupFileMissing,         // the "Setup File" box names no file: correct it
  InvalidSetting,           // the setting is not one of the file's
  SettingBreaksTextLines,   // the setting's name would break the text file's lines
  SubjectIdRefused,         // the User ID cannot name a text file
  PlanRefused,              // the setting's plan has a fault: the application ends
  RegisterNewUser,          // an unknown User ID: register it?
  QuestionnaireIncomplete,  // gender or age missing
  RegistrationFailed,       // the questionnaire's row could not be stored
  TakeOver,                 // the User ID plays at another workstation: take it over?
  CompletedAll,             // the participant has played every trial
  Resume,                   // a known User ID: continue at the next trial?
  TeamNameNeeded,           // a team setting without a usable team name
  TeamFull,                 // the team named has all its members
  TeamOfOtherMember,        // the participant is a member of another team of the setting
  RecordsContradict,        // the participant's records contradict each other: not built on
  // The game.
  OrderAboveLimit,      // the order is above what the trial takes: the week stays open
  TrainingIntro,        // training trials come first
  TrainingConstraints,  // the limits a training trial must keep
  TrainingFailed,       // a limit was broken: the trial is played again
  TrainingComplete,     // the experiment begins
  NoTrialLeft,          // no trial left to start: log in again
  TrialEnded,           // the trial's end cost
  GameOver,             // the cost sum over all trials
  IncorrectPassword,    // the skip-training password was wrong
  ConfirmExit,          // closing the window: exit?
  TakenOverElsewhere,   // another workstation took the participant over: the end
};

struct Prompt {
  std::string text;  // "\r\n" breaks the line
  PromptStyle style = PromptStyle::Ok;
  std::string title;  // empty: the application's title
  PromptKind kind = PromptKind::Message;
  // Enter (and a box closed without a button) answers No: for a question
  // whose Yes cannot be undone.
  bool noByDefault = false;
  // A question that events may answer while it is open (the lab server is
  // back): asked about as the question opens and then every
  // kAnsweredByPoll while it stays; the first answer it gives closes the
  // question as if that button had been pressed. It must return at once.
  std::function<std::optional<Answer>()> answeredBy = nullptr;
};

inline constexpr std::chrono::milliseconds kAnsweredByPoll{250};

// How code below the windows asks a person something, waits and ends the
// application. The application puts Qt behind it; tests put a scripted
// double behind it that answers the questions.
class Prompter {
 public:
  virtual ~Prompter() = default;

  // Shows a modal question and returns the button pressed, or the answer
  // its answeredBy gave. The game stands still meanwhile (modalOpen() is
  // true).
  Answer ask(const Prompt& prompt);
  Answer ask(const std::string& text, PromptStyle style, const std::string& title = "",
             PromptKind kind = PromptKind::Message);

  // Ends the application at once: throws ApplicationEnd.
  [[noreturn]] virtual void endApplication(int code = 0);

  // `text`, written in English, in the participants' language: the
  // translation of `context` installed in the windows, else the text itself.
  // What is recorded (rows, text files) never passes through it.
  virtual std::string translate(const char* /*context*/, const char* text) const { return text; }

  // Lets pending window events run once.
  virtual void processEvents() {}

  // Waits without busying the processor.
  virtual void wait(std::chrono::milliseconds duration) = 0;

  // Whether a modal window of the session is open (a question, the pause,
  // the wait for a locked database). The game stands still meanwhile: the
  // animation does not tick and no week is played, so that nothing changes
  // under a question.
  bool modalOpen() const { return m_modalDepth > 0; }

  // Counts a modal window as open for its lifetime.
  class ModalScope {
   public:
    explicit ModalScope(Prompter& prompter) : m_prompter(prompter) { ++m_prompter.m_modalDepth; }
    ~ModalScope() { --m_prompter.m_modalDepth; }
    ModalScope(const ModalScope&) = delete;
    ModalScope& operator=(const ModalScope&) = delete;

   private:
    Prompter& m_prompter;
  };

 protected:
  // Shows the question and waits for the answer; ask() holds a ModalScope
  // meanwhile, and has asked answeredBy once before (a prompter that shows
  // the question for a while polls it on).
  virtual Answer present(const Prompt& prompt) = 0;

 private:
  int m_modalDepth = 0;
};

// Marks a text for the translators without translating it here (the
// translation tools read it like QT_TRANSLATE_NOOP); Prompter::translate()
// translates it where it is shown.
#define QUARN_TRANSLATABLE(context, text) text

// The application's title, shown on questions that have none of their own.
inline constexpr const char* kAppTitle = "Quarn Game";

// The title a prompt is shown under: its own, or else the application's.
// What nobody at a screen answers (a console, a server's reader): OK to a
// message, Abort to a write that keeps failing, No to a question.
Answer unattendedAnswer(PromptStyle style);

std::string shownTitle(const Prompt& prompt);
// The text a prompt shows, its "\r\n" line breaks as "\n".
std::string shownText(const Prompt& prompt);

}  // namespace quarn
