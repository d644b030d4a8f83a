#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "base/Errors.h"
#include "base/Prompter.h"
#include "base/Random.h"
#include "db/Stores.h"
#include "db/sqlcipher/SqlCipherConnection.h"
#include "plan/RememberedPlanTables.h"

namespace quarn {

// Title of the question after a result row could not be stored (week rows
// and trial rows alike), and of the message when the moderator gives up.
inline constexpr const char* kDatabaseOutputTitle = "Problems on weekly output to database";

// How the game numbers the rows of the trial it records: the Trial the rows
// are filed under, and where a row goes when its key is already taken.
class TrialNumbering {
 public:
  virtual ~TrialNumbering() = default;
  virtual int16_t trial() const = 0;
  virtual int16_t afterCollision(int16_t rowTrial) = 0;
};

// The back-off after the n-th failed use counts Int(Rnd * 3000 + 1000) * n^2
// steps; each step lasts kBackoffStep, so the wait grows from 10..40 ms at
// n = 1 to 0.25..1 s at n = 5.
inline constexpr std::chrono::microseconds kBackoffStep{10};
int64_t backoffCount(UniformRandom& random, int n);
std::chrono::milliseconds backoffDuration(int64_t count);

// The one service through which the application uses its database: it runs
// every use of the stores, retries what fails, asks the moderator through
// the Prompter and ends the application when told to.
//
// The first use of a database upgrades it when it is older than the program
// (see Stores::upgradeSchema) and says so once; a database newer than the
// program ends the application at once with the reason.
//
// Reads (and the opens of writes) fail over to five silent retries with a
// growing back-off, then the question "<description> Retry? (No to quit)"
// (Yes: five more, No: the end); a table or column the file lacks (3265)
// ends the application at once with "Please get the most updated database
// file of ...".
//
// Result writes get five silent retries per open, shared by its rows; a key
// collision first moves the row's Trial (TrialNumbering); the sixth failure
// asks Abort (the end), Retry or Ignore (the open's rows are dropped). A
// failure that lost the open's rows asks at once, and Retry writes the open
// again.
//
// A lost server (no connection, or a link that broke) and a file that
// another program holds are no failure of the use: reads and writes alike
// are tried again in short steps, with the waiting notice up, for the
// outage limit (a file's: the default); only then is the moderator asked,
// in words, naming what waits to be stored. The question closes by itself
// once the database answers again (Stores::answerCheck). A failure that no retry can mend (a login
// the server refuses, a connection string refused here) is said once, and
// the application ends.
class DatabaseAccess {
 public:
  // `waiter` (if any) shows that the application waits for the server.
  DatabaseAccess(Stores& stores, Prompter& prompter, UniformRandom& random,
                 BusyWaiter* waiter = nullptr);

  // The outage limit: the stores' (a settings file's) unless set here.
  std::chrono::milliseconds outageLimit() const;
  void setOutageLimit(std::chrono::milliseconds limit) { m_outageLimit = limit; }

  // Where the database is (a file's path); the login sets it.
  void setLocation(const std::string& location) { m_stores.setLocation(location); }
  // The database the login's "Setup File" box names (see Stores::choose).
  void useDatabase(const std::string& dataFolder, const std::string& setupText) {
    releasePlan();
    m_stores.choose(dataFolder, setupText);
  }
  std::string location() const { return m_stores.location(); }
  DatabasePlace place() const { return m_stores.place(); }
  Stores& stores() { return m_stores; }

  // Runs `use` (reads of the stores, or the open of a writer) under the read
  // policy and returns its result.
  template <class Use>
  auto read(Use&& use) -> decltype(use()) {
    std::optional<decltype(use())> result;
    retrying([&] { result.emplace(use()); });
    return std::move(*result);
  }

  // The plan tables, every call a read under the read policy; while the
  // plan is held, each table (or named row) is read once and then served
  // from memory.
  PlanTables& planTables() {
    return m_planHeld ? static_cast<PlanTables&>(m_heldPlan) : m_planTables;
  }
  // Holds the plan tables as first read from now until releasePlan(): a
  // login that checks the plan and the start of the game that loads it read
  // them once. Releasing forgets them, so that the next login reads the
  // plan as it is then.
  void holdPlan() { m_planHeld = true; }
  void releasePlan() {
    m_planHeld = false;
    m_heldPlan.forget();
  }
  std::vector<std::string> settings();
  std::set<std::string> plannedSettings();

  std::optional<std::string> findParticipant(const std::string& subject);
  std::optional<int16_t> highestTrial(const std::string& subject, const std::string& setting);
  std::optional<int16_t> lowestTrial(const std::string& subject, const std::string& setting);
  bool trialRecorded(const std::string& subject, const std::string& setting, int16_t trial);
  std::optional<int16_t> highestWeek(const std::string& subject, const std::string& setting,
                                     int16_t trial);
  // The teams of team settings. The caller runs each use under read()
  // (the team store's writes are made so that doing them again is harmless).
  TeamStore& teams() { return m_stores.teams(); }
  // The recorded experiment trials (ResultStore), read under the read policy.
  std::vector<RecordedSession> recordedSessions(const std::string& setting,
                                                const std::string& subject);
  std::vector<RecordedSession> trainingSessions(const std::string& setting,
                                                const std::string& subject);
  RecordedRows recordedRows(const RecordedSession& session);
  // The keys of the result rows of a setting (ResultStore), read under the
  // read policy.
  RecordKeys recordKeys(const std::string& setting, const std::string& subject);

  // Stores a new participant. Only the open has the read policy, and a lost
  // server is waited for: a row that cannot be stored raises its error to
  // the caller, and nothing is stored.
  void registerParticipant(const ParticipantRow& row);

  // Marks `mine` as playing here, the check and the mark in one write
  // transaction so that two logins racing for one participant cannot both
  // win. Returns the other workstation's mark that counts (nothing written
  // then), unless `takeOver`. Failures get the read policy.
  std::optional<PlayingMark> claimParticipant(const PlayingMark& mine, int64_t now, bool takeOver);
  // Refreshes the lastWeek of `mine` to `now`. Returns the mark that replaced
  // it when another workstation took the participant over. A refresh that
  // fails is let go: the mark just ages.
  std::optional<PlayingMark> refreshParticipant(PlayingMark& mine, int64_t now);
  // Removes `mine` at the end of a session; a failure is let go (the mark then
  // ends by its age, or at once for a later login on this computer).
  void releaseParticipant(const PlayingMark& mine);

  // Stores the week's four rows (one open: all of them or none) and a trial's
  // row, under the write policy; `what` names them in the message should the
  // moderator give up on them ("Trial 2, week 7 of P1").
  void writeWeek(const std::array<WeekRow, kRoleCount>& rows, const std::string& what,
                 TrialNumbering& numbering);
  void writeTrial(const TrialRow& row, const std::string& what, TrialNumbering& numbering);

  // Ends the application after a failure the moderator gave up on, with
  // status 1 and, during a write, a message that says what was not stored
  // (or may not be: a commit whose answer was lost with a server that cannot
  // be asked). Nothing is said of a write that the server stored after all.
  [[noreturn]] void quitUnstored();

 private:
  class GuardedPlanTables final : public PlanTables {
   public:
    explicit GuardedPlanTables(DatabaseAccess& access) : m_access(access) {}
    Rows players() override;
    Rows blockRows(const std::string& setting) override;
    Rows trainingRows(const std::string& setting) override;
    Rows pauseRows(const std::string& setting) override;
    std::optional<Row> predicter(const std::string& name) override;
    std::string settingLanguage(const std::string& setting) override;
    std::string settingCompletionLink(const std::string& setting) override;
    std::optional<Row> displayConfiguration(const std::string& name) override;
    std::optional<Row> displayOption(const std::string& name) override;

   private:
    PlanStore& store() { return m_access.m_stores.plan(); }
    DatabaseAccess& m_access;
  };
  // A lost server being waited for: since when, how many tries so far, and
  // the pauses between them.
  struct Outage {
    std::optional<std::chrono::steady_clock::time_point> since;
    int tries = 0;
    std::chrono::milliseconds paused{0};
  };
  struct WriteBudget {
    int retries = 0;
    Outage outage;
  };

  void retrying(const std::function<void()>& use);
  void upgradeOnFirstUse();
  [[noreturn]] void endOnFailure(const QuarnError& failure, const std::string& text,
                                 PromptKind kind);
  void waitForDatabase(Outage& outage, const QuarnError& failure,
                       std::chrono::steady_clock::time_point tryStart);
  std::string outageQuestion(const QuarnError& failure, bool server,
                             std::chrono::milliseconds waited) const;
  [[noreturn]] void refuse(const QuarnError& failure);
  template <class RowT>
  void writeRows(const std::function<std::unique_ptr<RowWriter<RowT>>()>& open,
                 const std::vector<RowT>& rows, const std::string& what, TrialNumbering& numbering);
  void attempt(WriteBudget& budget, const std::function<void()>& step, int16_t* rowTrial,
               TrialNumbering& numbering);
  Answer writeRetry(WriteBudget& budget, const QuarnError& failure, int16_t* rowTrial,
                    TrialNumbering& numbering);
  Answer askAfterLostWrite(const QuarnError& failure);

  Stores& m_stores;
  Prompter& m_prompter;
  UniformRandom& m_random;
  BusyWaiter* m_waiter;
  std::optional<std::chrono::milliseconds> m_outageLimit;
  GuardedPlanTables m_planTables{*this};
  RememberedPlanTables m_heldPlan{m_planTables};
  bool m_planHeld = false;
  // The database whose schema is known to be up to date.
  std::optional<std::string> m_upToDate;
  // What a write in progress would leave unstored; empty while nothing is
  // written. And whether its rows are stored (see
  // RowWriter::storedDespiteLostCommit).
  std::string m_writeInProgress;
  std::function<std::optional<bool>()> m_writeStored;
};

}  // namespace quarn
