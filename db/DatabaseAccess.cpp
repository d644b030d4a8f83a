#include "db/DatabaseAccess.h"

#include <algorithm>
#include <cmath>
#include <future>
#include <memory>
#include <thread>

#include "base/Errors.h"
#include "db/DbError.h"

namespace quarn {

namespace {

constexpr int kSilentRetries = 5;

// Raised out of a write when the moderator chose Ignore: the writer is
// dropped without commit, which stores none of its rows.
struct WriteIgnored {};
// Raised when the open must be written again from its first row.
struct WriteRestart {};

// Names the write under way, and how to learn whether it is stored, for as
// long as it lasts.
class WriteNaming {
 public:
  WriteNaming(std::string& slot, std::string what, std::function<std::optional<bool>()>& check,
              std::function<std::optional<bool>()> stored)
      : m_slot(slot), m_check(check) {
    m_slot = std::move(what);
    m_check = std::move(stored);
  }
  ~WriteNaming() {
    m_slot.clear();
    m_check = nullptr;
  }
  WriteNaming(const WriteNaming&) = delete;
  WriteNaming& operator=(const WriteNaming&) = delete;

 private:
  std::string& m_slot;
  std::function<std::optional<bool>()>& m_check;
};

std::string errorText(const QuarnError& failure) {
  return std::to_string(failure.number()) + ": " + failure.description();
}

bool isKind(const QuarnError& failure, DbErrorKind kind) {
  const auto* dbError = dynamic_cast<const DbError*>(&failure);
  return dbError && dbError->kind() == kind;
}

// A lost server, or a file another program holds: neither is a fault of
// the use, which goes on once the database answers again.
bool isWaitedFor(const QuarnError& failure) {
  return isKind(failure, DbErrorKind::ConnectionLost) || isKind(failure, DbErrorKind::Busy);
}

// A question's answeredBy that runs `check` on a thread of its own, one run
// after the other, and answers Yes once a run found the database answering.
// A run holds only what `check` holds, so it may outlive the question.
std::function<std::optional<Answer>()> answeredOnceBack(std::function<bool()> check) {
  if (!check) return {};
  auto running = std::make_shared<std::future<bool>>();
  return [check = std::move(check), running]() -> std::optional<Answer> {
    if (running->valid()) {
      if (running->wait_for(std::chrono::seconds(0)) != std::future_status::ready) {
        return std::nullopt;
      }
      if (running->get()) return Answer::Yes;
    }
    std::packaged_task<bool()> run(check);
    *running = run.get_future();
    std::thread(std::move(run)).detach();
    return std::nullopt;
  };
}

// The pause before the n-th try to reach a lost server: short at first, so
// that a blip passes unnoticed, then a try a second.
std::chrono::milliseconds outagePause(int tries) {
  return std::min<std::chrono::milliseconds>(std::chrono::milliseconds(100) * tries,
                                             std::chrono::seconds(1));
}

}  // namespace

int64_t backoffCount(UniformRandom& random, int n) {
  const auto base = static_cast<int64_t>(std::floor(random.next() * 3000 + 1000));
  return base * n * n;
}

std::chrono::milliseconds backoffDuration(int64_t count) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(kBackoffStep * count);
}

DatabaseAccess::DatabaseAccess(Stores& stores, Prompter& prompter, UniformRandom& random,
                               BusyWaiter* waiter)
    : m_stores(stores), m_prompter(prompter), m_random(random), m_waiter(waiter) {}

std::chrono::milliseconds DatabaseAccess::outageLimit() const {
  return m_outageLimit ? *m_outageLimit : m_stores.outageLimit();
}

void DatabaseAccess::upgradeOnFirstUse() {
  const std::string here = location();
  if (m_upToDate == here) return;
  const std::optional<SchemaUpgrade> upgrade = m_stores.upgradeSchema();
  m_upToDate = here;
  if (upgrade) {
    m_prompter.ask(describeUpgrade(*upgrade, here), PromptStyle::Ok, "", PromptKind::Message);
  }
}

void DatabaseAccess::endOnFailure(const QuarnError& failure, const std::string& text,
                                  PromptKind kind) {
  m_prompter.ask(text, PromptStyle::Ok, "Error " + errorText(failure), kind);
  m_prompter.endApplication(1);
  throw ApplicationEnd(1);  // for a Prompter whose endApplication returns
}

void DatabaseAccess::retrying(const std::function<void()>& use) {
  int n = 0;
  Outage outage;
  for (;;) {
    const auto tryStart = std::chrono::steady_clock::now();
    try {
      upgradeOnFirstUse();
      use();
      return;
    } catch (const QuarnError& failure) {
      if (isKind(failure, DbErrorKind::Refused)) refuse(failure);
      if (isWaitedFor(failure)) {
        waitForDatabase(outage, failure, tryStart);
        continue;
      }
      if (failure.number() == kErrItemNotFound) {
        const auto* dbError = dynamic_cast<const DbError*>(&failure);
        endOnFailure(failure,
                     "Please get the most updated database file of " + location() + "\r\n" +
                         (dbError ? dbError->source() : std::string()),
                     PromptKind::DatabaseOutdated);
      }
      if (failure.number() == kErrUnrecognizedFormat) {
        // Like an outdated file, the database does not fit this program.
        endOnFailure(failure, failure.description(), PromptKind::DatabaseOutdated);
      }
      ++n;
      if (n > kSilentRetries) {
        const Answer answer =
            m_prompter.ask(failure.description() + " Retry? (No to quit)",
                           PromptStyle::YesNoQuestion, "", PromptKind::DatabaseRetry);
        if (answer != Answer::Yes) quitUnstored();
        n = 1;
      }
    }
    // The game stands still while the window's events run here.
    Prompter::ModalScope waiting(m_prompter);
    m_prompter.processEvents();
    m_prompter.wait(backoffDuration(backoffCount(m_random, n)));
  }
}

// Tries the database again after a short pause, the waiting notice up and
// the game standing still, counting from the start of the first try that
// failed (a try of a held file has waited for its lock already); once that
// has lasted the limit, asks the moderator, who may wait for as long again
// or end the application. The question closes by itself, and the wait goes
// on, as soon as the database answers again.
void DatabaseAccess::waitForDatabase(Outage& outage, const QuarnError& failure,
                                     std::chrono::steady_clock::time_point tryStart) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point start = Clock::now();
  if (!outage.since) outage.since = tryStart;
  // The pauses count in full even where the prompter's wait was cut short.
  auto waited = [&] {
    return std::max(outage.paused, std::chrono::duration_cast<std::chrono::milliseconds>(
                                       Clock::now() - *outage.since));
  };
  const bool server = isKind(failure, DbErrorKind::ConnectionLost);
  if (waited() >= outageLimit()) {
    Prompt question;
    question.text = outageQuestion(failure, server, waited());
    question.style = PromptStyle::YesNoQuestion;
    question.kind = PromptKind::DatabaseRetry;
    question.answeredBy = answeredOnceBack(m_stores.answerCheck());
    if (m_prompter.ask(question) != Answer::Yes) quitUnstored();
    outage = Outage{Clock::now()};
    return;
  }
  const std::chrono::milliseconds pause = outagePause(++outage.tries);
  Prompter::ModalScope waiting(m_prompter);
  if (m_waiter) {
    do {
      if (server) {
        m_waiter->waitForServer(waited());
      } else {
        m_waiter->wait(waited());
      }
    } while (Clock::now() - start < pause);
  } else {
    m_prompter.processEvents();
    m_prompter.wait(pause);
  }
  outage.paused += pause;
}

// What the moderator is asked after the limit: what does not answer, for how
// long, what waits to be stored; the server's own reason names its host.
std::string DatabaseAccess::outageQuestion(const QuarnError& failure, bool server,
                                           std::chrono::milliseconds waited) const {
  const std::string seconds =
      std::to_string(std::chrono::duration_cast<std::chrono::seconds>(waited).count());
  const std::string waiting =
      m_writeInProgress.empty() ? "" : m_writeInProgress + " is waiting to be stored.\r\n";
  if (server) {
    return "The lab server has not answered for " + seconds + " s.\r\n" + waiting + "(" +
           failure.description() + ")\r\nRetry? (No to quit)";
  }
  return "The database " + location() + " has been in use by another program for " + seconds +
         " s.\r\n" + waiting +
         "Close the other program (a database shell, a copy or a backup) and answer Yes to go "
         "on.\r\nRetry? (No to quit)";
}

// Says a failure that no retry mends, once, and ends the application.
void DatabaseAccess::refuse(const QuarnError& failure) {
  m_prompter.ask(failure.description(), PromptStyle::OkWarning, "", PromptKind::DatabaseRefused);
  quitUnstored();
}

// A write whose commit went out but whose answer was lost may be stored:
// the server is asked once more before anything is said, and what it cannot
// confirm either way is said as such.
void DatabaseAccess::quitUnstored() {
  if (!m_writeInProgress.empty()) {
    const std::optional<bool> stored = m_writeStored ? m_writeStored() : false;
    std::string text;
    if (!stored) {
      text = m_writeInProgress +
             " may not have been stored in the database: the lab server's answer to it was "
             "lost, and the server cannot be reached to look it up.  The application ends.";
    } else if (!*stored) {
      text = m_writeInProgress + " was not stored in the database.  The application ends.";
    }
    if (!text.empty()) {
      m_prompter.ask(text, PromptStyle::OkWarning, kDatabaseOutputTitle,
                     PromptKind::DatabaseNotStored);
    }
  }
  m_prompter.endApplication(1);
  throw ApplicationEnd(1);  // for a Prompter whose endApplication returns
}

std::vector<std::string> DatabaseAccess::settings() {
  return read([&] { return m_stores.plan().settings(); });
}

std::set<std::string> DatabaseAccess::plannedSettings() {
  return read([&] { return m_stores.plan().plannedSettings(); });
}

std::optional<std::string> DatabaseAccess::findParticipant(const std::string& subject) {
  return read([&] { return m_stores.participants().findParticipant(subject); });
}

std::optional<int16_t> DatabaseAccess::highestTrial(const std::string& subject,
                                                    const std::string& setting) {
  return read([&] { return m_stores.participants().highestTrial(subject, setting); });
}

std::optional<int16_t> DatabaseAccess::lowestTrial(const std::string& subject,
                                                   const std::string& setting) {
  return read([&] { return m_stores.participants().lowestTrial(subject, setting); });
}

bool DatabaseAccess::trialRecorded(const std::string& subject, const std::string& setting,
                                   int16_t trial) {
  return read([&] { return m_stores.participants().trialRecorded(subject, setting, trial); });
}

std::optional<int16_t> DatabaseAccess::highestWeek(const std::string& subject,
                                                   const std::string& setting, int16_t trial) {
  return read([&] { return m_stores.participants().highestWeek(subject, setting, trial); });
}

std::vector<RecordedSession> DatabaseAccess::recordedSessions(const std::string& setting,
                                                              const std::string& subject) {
  return read([&] { return m_stores.results().recordedSessions(setting, subject); });
}

std::vector<RecordedSession> DatabaseAccess::trainingSessions(const std::string& setting,
                                                              const std::string& subject) {
  return read([&] { return m_stores.results().trainingSessions(setting, subject); });
}

RecordedRows DatabaseAccess::recordedRows(const RecordedSession& session) {
  return read([&] { return m_stores.results().recordedRows(session); });
}

RecordKeys DatabaseAccess::recordKeys(const std::string& setting, const std::string& subject) {
  return read([&] { return m_stores.results().recordKeys(setting, subject); });
}

void DatabaseAccess::registerParticipant(const ParticipantRow& row) {
  std::unique_ptr<RowWriter<ParticipantRow>> writer =
      read([&] { return m_stores.participants().openRegistration(); });
  Outage outage;
  for (const std::function<void()>& step : std::initializer_list<std::function<void()>>{
           [&] { writer->insert(row); }, [&] { writer->commit(); }}) {
    for (;;) {
      try {
        step();
        break;
      } catch (const QuarnError& failure) {
        if (!isWaitedFor(failure)) throw;
        waitForDatabase(outage, failure, std::chrono::steady_clock::now());
      }
    }
  }
}

std::optional<PlayingMark> DatabaseAccess::claimParticipant(const PlayingMark& mine, int64_t now,
                                                            bool takeOver) {
  return read([&] {
    return m_stores.participants().markPlaying(
        mine, [&](const PlayingMark& present, std::optional<int64_t> sharedNow) {
          if (takeOver) return false;
          if (sharedNow) return markCounts(present, mine.at, *sharedNow, MarkClock::Shared);
          return markCounts(present, mine.at, now, MarkClock::EachComputer);
        });
  });
}

std::optional<PlayingMark> DatabaseAccess::refreshParticipant(PlayingMark& mine, int64_t now) {
  mine.lastWeek = now;
  try {
    return m_stores.participants().touchPlaying(mine);
  } catch (const QuarnError&) {
    return std::nullopt;
  }
}

void DatabaseAccess::releaseParticipant(const PlayingMark& mine) {
  try {
    m_stores.participants().clearPlaying(mine);
  } catch (const QuarnError&) {
  }
}

void DatabaseAccess::writeWeek(const std::array<WeekRow, kRoleCount>& rows, const std::string& what,
                               TrialNumbering& numbering) {
  writeRows<WeekRow>([&] { return m_stores.results().openWeekRows(); },
                     std::vector<WeekRow>(rows.begin(), rows.end()), what, numbering);
}

void DatabaseAccess::writeTrial(const TrialRow& row, const std::string& what,
                                TrialNumbering& numbering) {
  writeRows<TrialRow>([&] { return m_stores.results().openTrialRows(); }, {row}, what, numbering);
}

template <class RowT>
void DatabaseAccess::writeRows(const std::function<std::unique_ptr<RowWriter<RowT>>()>& open,
                               const std::vector<RowT>& rows, const std::string& what,
                               TrialNumbering& numbering) {
  std::unique_ptr<RowWriter<RowT>> writer;
  const WriteNaming naming(m_writeInProgress, what, m_writeStored, [&]() -> std::optional<bool> {
    return writer ? writer->storedDespiteLostCommit() : false;
  });
  for (;;) {
    writer.reset();  // an earlier try's transaction ends before the next opens
    writer = read(open);
    WriteBudget budget;
    try {
      for (RowT row : rows) {
        row.trial = numbering.trial();
        attempt(
            budget, [&] { writer->insert(row); }, &row.trial, numbering);
      }
      attempt(
          budget, [&] { writer->commit(); }, nullptr, numbering);
    } catch (const WriteIgnored&) {
      return;  // dropped without commit: the open's rows are rolled back
    } catch (const WriteRestart&) {
      continue;
    }
    return;
  }
}

// Runs one step of a write. A failure goes to writeRetry: Retry runs the
// step again, Ignore leaves the write, Abort ends the application.
void DatabaseAccess::attempt(WriteBudget& budget, const std::function<void()>& step,
                             int16_t* rowTrial, TrialNumbering& numbering) {
  for (;;) {
    const auto tryStart = std::chrono::steady_clock::now();
    try {
      step();
      return;
    } catch (const QuarnError& failure) {
      if (isKind(failure, DbErrorKind::Refused)) refuse(failure);
      if (isWaitedFor(failure)) {
        // The step is tried again (on a new connection to a server); a
        // commit whose answer was lost looks first whether it was stored.
        waitForDatabase(budget.outage, failure, tryStart);
        continue;
      }
      budget.outage = Outage{};
      Answer answer;
      if (failure.number() == kErrWriteLost) {
        answer = askAfterLostWrite(failure);
      } else {
        try {
          answer = writeRetry(budget, failure, rowTrial, numbering);
        } catch (const QuarnError&) {
          // The row's Trial could not be moved any further.
          answer = askAfterLostWrite(failure);
        }
      }
      if (answer == Answer::Abort) quitUnstored();
      if (answer == Answer::Ignore) throw WriteIgnored{};
    }
  }
}

// Five silent retries per open, then the question. Only a collision on the
// key is cured by another Trial: a lock or an I/O fault passes, and moving
// the row would file the week under a trial that was never played, whose
// real rows would collide later.
Answer DatabaseAccess::writeRetry(WriteBudget& budget, const QuarnError& failure, int16_t* rowTrial,
                                  TrialNumbering& numbering) {
  if (budget.retries < kSilentRetries) {
    ++budget.retries;
    if (failure.number() == kErrDuplicateKey && rowTrial) {
      *rowTrial = numbering.afterCollision(*rowTrial);
    }
    return Answer::Retry;
  }
  const Answer answer = m_prompter.ask(errorText(failure), PromptStyle::AbortRetryIgnore,
                                       kDatabaseOutputTitle, PromptKind::DatabaseWriteFailed);
  budget.retries = 0;
  return answer;
}

// After a write that lost the open's rows a silent retry of the step cannot
// bring them back: the question comes at once, and Retry writes the whole
// open anew.
Answer DatabaseAccess::askAfterLostWrite(const QuarnError& failure) {
  const Answer answer = m_prompter.ask(errorText(failure), PromptStyle::AbortRetryIgnore,
                                       kDatabaseOutputTitle, PromptKind::DatabaseWriteFailed);
  if (answer == Answer::Retry) throw WriteRestart{};
  return answer;
}

Rows DatabaseAccess::GuardedPlanTables::players() {
  return m_access.read([&] { return store().players(); });
}

Rows DatabaseAccess::GuardedPlanTables::blockRows(const std::string& setting) {
  return m_access.read([&] { return store().blockRows(setting); });
}

Rows DatabaseAccess::GuardedPlanTables::trainingRows(const std::string& setting) {
  return m_access.read([&] { return store().trainingRows(setting); });
}

Rows DatabaseAccess::GuardedPlanTables::pauseRows(const std::string& setting) {
  return m_access.read([&] { return store().pauseRows(setting); });
}

std::string DatabaseAccess::GuardedPlanTables::settingLanguage(const std::string& setting) {
  return m_access.read([&] { return store().settingLanguage(setting); });
}

std::string DatabaseAccess::GuardedPlanTables::settingCompletionLink(const std::string& setting) {
  return m_access.read([&] { return store().settingCompletionLink(setting); });
}

std::optional<Row> DatabaseAccess::GuardedPlanTables::predicter(const std::string& name) {
  return m_access.read([&] { return store().predicter(name); });
}

std::optional<Row> DatabaseAccess::GuardedPlanTables::displayConfiguration(
    const std::string& name) {
  return m_access.read([&] { return store().displayConfiguration(name); });
}

std::optional<Row> DatabaseAccess::GuardedPlanTables::displayOption(const std::string& name) {
  return m_access.read([&] { return store().displayOption(name); });
}

}  // namespace quarn
