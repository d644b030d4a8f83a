#include "db/DatabaseAccess.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "db/Schema.h"
#include "db/postgres/PgStores.h"
#include "tests/support/FaultyStores.h"
#include "tests/support/FixedRandom.h"
#include "tests/support/ScriptedPrompter.h"
#include "tests/support/TestDatabase.h"

namespace quarn {
namespace {

using namespace std::chrono_literals;
using testing::FaultyStores;
using testing::FixedRandom;
using testing::ScriptedPrompter;
using testing::TestDatabase;

constexpr Answer R = Answer::Retry, I = Answer::Ignore, A = Answer::Abort;

// A prompter whose back-off lets time pass: a file can turn up during a wait.
class FileAppearsPrompter : public ScriptedPrompter {
 public:
  std::function<void()> onWait;
  void wait(std::chrono::milliseconds d) override {
    ScriptedPrompter::wait(d);
    if (sleeps.size() == 3 && onWait) onWait();
  }
};

// The access to a file that may not exist, with draws of 0 for the back-off.
struct Access {
  explicit Access(const std::string& path) : stores(nullptr, path) {}
  SqlCipherStores stores;
  FileAppearsPrompter prompter;
  FixedRandom random{{0.0}};
  DatabaseAccess access{stores, prompter, random};
};

// Trial numbers as the game gives them: a collision moves the row one trial
// up, or in training to the next lower training number for the rest.
struct Numbering final : TrialNumbering {
  int16_t trial() const override { return current; }
  int16_t afterCollision(int16_t rowTrial) override {
    if (training) return --current;
    return static_cast<int16_t>(rowTrial + 1);
  }
  int16_t current = 1;
  bool training = false;
};

// Writes of a week's four rows into a real file, with failures injected.
struct Writes {
  Writes() { prompter.answers.clear(); }

  void writeWeek(int16_t week) {
    std::array<WeekRow, kRoleCount> rows;
    for (int r = 0; r < kRoleCount; ++r) {
      rows[r].subject = "P17";
      rows[r].setting = "Study";
      rows[r].training = numbering.training;
      rows[r].week = week;
      rows[r].role = roleName(r);
    }
    access.writeWeek(rows, "Trial 1, week " + std::to_string(week) + " of P17", numbering);
  }

  TestDatabase file;
  FaultyStores faulty{file.stores};
  ScriptedPrompter prompter;
  FixedRandom random;
  DatabaseAccess access{faulty, prompter, random};
  Numbering numbering;
};

TEST(Backoff, CountGrowsWithTheSquareOfTheFailureCount) {
  FixedRandom low({0.0}), high({0.9999999});
  EXPECT_EQ(std::vector<int64_t>({backoffCount(low, 1), backoffCount(high, 1), backoffCount(low, 5),
                                  backoffCount(high, 5)}),
            std::vector<int64_t>({1000, 3999, 25000, 99975}));
  EXPECT_EQ(backoffDuration(1000), 10ms);
  EXPECT_LT(backoffDuration(99975), 1s);
}

// Failures 1-5 back off with n = 1..5; the Yes after the sixth restarts at
// n = 1, and failures 7-10 run n = 2..5 before the eleventh asks again.
TEST(ReadPolicy, AsksOnTheSixthFailureAndAgainOnTheFifthAfterYes) {
  TestDatabase folder;
  Access a(folder.folder() + "/absent.mdb");
  a.prompter.answers = {Answer::Yes, Answer::No};
  EXPECT_THROW(a.access.settings(), ApplicationEnd);

  ASSERT_EQ(a.prompter.shown.size(), 2u);
  EXPECT_EQ(a.prompter.shown[0].style, PromptStyle::YesNoQuestion);
  EXPECT_EQ(a.prompter.shown[0].kind, PromptKind::DatabaseRetry);
  EXPECT_EQ(a.prompter.shown[0].title, "");
  EXPECT_NE(a.prompter.shown[0].prompt.find(" Retry? (No to quit)"), std::string::npos);
  const std::vector<std::chrono::milliseconds> expected = {10ms, 40ms, 90ms, 160ms, 250ms,
                                                           10ms, 40ms, 90ms, 160ms, 250ms};
  EXPECT_EQ(a.prompter.sleeps, expected);
  EXPECT_EQ(a.prompter.doEvents, 10);
  EXPECT_FALSE(std::filesystem::exists(a.access.location())) << "a reader never creates the file";
}

// A server that cannot be reached is waited for in short steps for the
// outage limit, then the moderator is asked, naming the server and the
// reason.
TEST(ReadPolicy, UnreachableServerIsWaitedForThenAskedNamingTheHost) {
  PgStores stores("host=127.0.0.1 port=1 dbname=quarn connect_timeout=2");
  ScriptedPrompter prompter;
  FixedRandom random{{0.0}};
  DatabaseAccess access(stores, prompter, random);
  access.setOutageLimit(1s);
  prompter.answers = {Answer::No};
  EXPECT_THROW(access.settings(), ApplicationEnd);
  ASSERT_EQ(prompter.shown.size(), 1u);
  EXPECT_EQ(prompter.last().kind, PromptKind::DatabaseRetry);
  for (const char* part : {"has not answered for 1 s", "127.0.0.1", "refused", "Retry?"}) {
    EXPECT_NE(prompter.last().prompt.find(part), std::string::npos) << prompter.last().prompt;
  }
  const std::vector<std::chrono::milliseconds> pauses = {100ms, 200ms, 300ms, 400ms};
  EXPECT_EQ(prompter.sleeps, pauses);
}

// What no retry mends is said once, without Retry, and ends the application.
TEST(ReadPolicy, RefusedConnectionIsSaidOnceWithoutRetry) {
  const struct {
    std::string connection;
    std::string said;
  } cases[] = {
      {"host=127.0.0.1 port=1 dbname=quarn password=Hunter2xyz", "holds a password"},
      {"host=127.0.0.1 port=1 dbname='host=x password=Hunter2xyz'", "another connection string"},
  };
  for (const auto& c : cases) {
    PgStores stores(c.connection);
    ScriptedPrompter prompter;
    FixedRandom random{{0.0}};
    DatabaseAccess access(stores, prompter, random);
    EXPECT_THROW(access.settings(), ApplicationEnd);
    ASSERT_EQ(prompter.shown.size(), 1u) << c.connection;
    EXPECT_EQ(prompter.last().kind, PromptKind::DatabaseRefused);
    EXPECT_EQ(prompter.last().style, PromptStyle::OkWarning);
    EXPECT_NE(prompter.last().prompt.find(c.said), std::string::npos) << prompter.last().prompt;
    EXPECT_EQ(prompter.last().prompt.find("Hunter2xyz"), std::string::npos);
    EXPECT_EQ(access.location().find("Hunter2xyz"), std::string::npos) << access.location();
    EXPECT_TRUE(prompter.sleeps.empty());
  }
}

TEST(ReadPolicy, WrongFileIsRetriedUntilTheRightOneIsInPlace) {
  TestDatabase good;
  good.insert("tblBlock", {{"Setting", "Anchor"}});
  const std::string path = good.folder() + "/other.mdb";
  std::ofstream(path, std::ios::binary) << std::string(4096, 'x');  // not a database

  Access a(path);
  a.prompter.onWait = [&] {
    std::filesystem::copy_file(good.path(), path,
                               std::filesystem::copy_options::overwrite_existing);
  };
  EXPECT_EQ(a.access.settings(), std::vector<std::string>{"Anchor"});
  EXPECT_EQ(a.prompter.sleeps.size(), 3u);
  EXPECT_TRUE(a.prompter.shown.empty());
}

// A plan file from an older version lacks a table or a column: readers and
// writers alike get the "most updated database file" message and the end.
TEST(ReadPolicy, MissingTableOrColumnEndsWithTheUpdateMessage) {
  Numbering numbering;
  const struct {
    std::string drop;
    std::function<void(DatabaseAccess&)> use;
    std::string source;
  } cases[] = {
      {"DROP TABLE tblPause;", [](DatabaseAccess& a) { a.planTables().pauseRows("A"); },
       R"(SELECT * FROM "tblPause" WHERE "Setting" = ? ORDER BY "Trial", rowid)"},
      {"DROP TABLE datTrial;", [&](DatabaseAccess& a) { a.writeTrial({}, "", numbering); },
       "datTrial"},
      {"DROP TABLE datUser;", [](DatabaseAccess& a) { a.registerParticipant({}); }, "datUser"},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(k.drop);
    TestDatabase db;
    db.exec(k.drop);
    Access a(db.path());
    EXPECT_THROW(k.use(a.access), ApplicationEnd);
    ASSERT_EQ(a.prompter.shown.size(), 1u);
    EXPECT_EQ(a.prompter.shown[0].prompt,
              "Please get the most updated database file of " + db.path() + "\r\n" + k.source);
    EXPECT_EQ(a.prompter.shown[0].style, PromptStyle::Ok);
    EXPECT_EQ(a.prompter.shown[0].title.rfind("Error 3265: ", 0), 0u) << a.prompter.shown[0].title;
    EXPECT_TRUE(a.prompter.sleeps.empty());
  }
}

// A file of version 1: without every table (the version's among them) and
// column that came later. The file's SQLite cannot drop a column, so a
// table with later columns is made anew from its first ones.
void makeVersion1(TestDatabase& db) {
  const auto quoted = [](const std::string& name) { return "\"" + name + "\""; };
  for (const TableDescription& table : currentSchema().tables) {
    if (table.since > 1) {
      db.exec("DROP TABLE " + quoted(table.name));
      continue;
    }
    std::string first;
    bool later = false;
    for (const ColumnDescription& column : table.columns) {
      if (column.since > 1) {
        later = true;
      } else {
        first += (first.empty() ? "" : ", ") + quoted(column.name);
      }
    }
    if (!later) continue;
    const std::string name = quoted(table.name);
    const std::string old = quoted(table.name + "Version1");
    db.exec("CREATE TABLE " + old + " AS SELECT " + first + " FROM " + name);
    db.exec("DROP TABLE " + name);
    db.exec("ALTER TABLE " + old + " RENAME TO " + name);
  }
}

TEST(SchemaPolicy, OlderFileIsUpgradedAtTheFirstUseAndSaidOnce) {
  TestDatabase db;
  makeVersion1(db);
  Access a(db.path());
  a.access.settings();
  a.access.plannedSettings();
  ASSERT_EQ(a.prompter.shown.size(), 1u);
  EXPECT_EQ(a.prompter.shown[0].prompt,
            "The database " + db.path() + " was upgraded from schema version 1 to " +
                std::to_string(currentSchema().version) + ". The file as it was is kept as " +
                db.path() + ".bak-1.");
  EXPECT_TRUE(std::filesystem::exists(db.path() + ".bak-1"));
}

TEST(SchemaPolicy, NewerFileEndsWithTheReasonAtOnce) {
  TestDatabase db;
  db.exec(R"(UPDATE "sysSchema" SET "Version" = 99)");
  Access a(db.path());
  EXPECT_THROW(a.access.settings(), ApplicationEnd);
  ASSERT_EQ(a.prompter.shown.size(), 1u);
  EXPECT_EQ(a.prompter.shown[0].kind, PromptKind::DatabaseOutdated);
  EXPECT_NE(a.prompter.shown[0].prompt.find("schema version 99, newer than this Quarn Game"),
            std::string::npos);
  EXPECT_TRUE(a.prompter.sleeps.empty());
}

// The pinned boundary: five failures of one open are retried silently.
TEST(WritePolicy, SixthFailureOfAnOpenAsksTheFifthDoesNot) {
  Writes fifth;
  fifth.faulty.insertFaults = {'x', 'x', 'x', 'x', 'x'};
  fifth.writeWeek(1);
  EXPECT_TRUE(fifth.prompter.shown.empty());
  EXPECT_EQ(fifth.file.count("datRole"), 4);

  Writes sixth;
  sixth.faulty.insertFaults = {'x', 'x', 'x', 'x', 'x', 'x'};
  sixth.prompter.answers = {R};
  sixth.writeWeek(1);
  ASSERT_EQ(sixth.prompter.shown.size(), 1u);
  EXPECT_EQ(sixth.prompter.last().prompt, "3010: disk I/O error");
  EXPECT_EQ(sixth.prompter.last().title, "Problems on weekly output to database");
  EXPECT_EQ(sixth.prompter.last().style, PromptStyle::AbortRetryIgnore);
  EXPECT_EQ(sixth.prompter.last().kind, PromptKind::DatabaseWriteFailed);
  EXPECT_EQ(sixth.file.count("datRole"), 4);
}

// The five retries are shared by the rows of one open and renewed by the
// next open and by the moderator's Retry.
TEST(WritePolicy, RetriesAreSharedByTheRowsOfOneOpen) {
  const struct {
    std::string faults;
    int weeks;
    size_t boxes;
  } cases[] = {
      {"xx..xxxx", 1, 1},      // two on the first row and four on the third
      {"xxx....xxx", 2, 0},    // three in each of two opens
      {"xxxxxx.xxxxx", 1, 1},  // five more after Retry
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(k.faults);
    Writes w;
    w.faulty.insertFaults.assign(k.faults.begin(), k.faults.end());
    w.prompter.answers = {R};
    for (int16_t week = 1; week <= k.weeks; ++week) w.writeWeek(week);
    EXPECT_EQ(w.prompter.shown.size(), k.boxes);
    EXPECT_EQ(w.file.count("datRole", "Trial=1"), 4 * k.weeks);
  }
}

// A key collision moves the row's Trial at each silent retry; Retry after
// the question stores the row under the Trial it has reached.
TEST(WritePolicy, KeyCollisionMovesTheRowsTrial) {
  Writes w;
  w.faulty.insertFaults = {'k', 'k', '.', '.', 'k', 'k', 'k', 'k'};
  w.prompter.answers = {R};
  w.writeWeek(1);
  EXPECT_EQ(w.prompter.last().prompt.substr(0, 5), "3022:");
  EXPECT_EQ(
      w.file.count("datRole",
                   "Trial=CASE Role WHEN 'Factory' THEN 3 WHEN 'Wholesaler' THEN 4 ELSE 1 END"),
      4);
}

// In training the number is lowered for the rest of the week.
TEST(WritePolicy, TrainingCollisionLowersTheNumberForTheRestOfTheWeek) {
  Writes w;
  w.numbering.current = -1;
  w.numbering.training = true;
  w.faulty.insertFaults = {'.', 'k'};
  w.writeWeek(1);
  EXPECT_TRUE(w.prompter.shown.empty());
  EXPECT_EQ(w.file.count("datRole",
                         "Training=1 AND Trial=CASE Role WHEN 'Factory' THEN -1 "
                         "ELSE -2 END"),
            4);
}

// A lock or an I/O fault is no reason to file a row under another trial.
TEST(WritePolicy, OtherFailuresRetryTheRowUnderItsOwnTrial) {
  Writes w;
  w.numbering.current = -1;
  w.numbering.training = true;
  w.faulty.insertFaults = {'.', 'x'};
  w.writeWeek(1);
  EXPECT_EQ(w.file.count("datRole", "Trial=-1"), 4);
}

// A lost server is waited for with growing pauses, far beyond the five quick
// retries of other failures, and the row keeps its trial.
TEST(WritePolicy, LostServerIsWaitedForWithoutAskingOrMovingTheRow) {
  Writes w;
  w.faulty.insertFaults = {'.', 'c', 'c', 'c', 'c', 'c', 'c', 'c', 'c', 'c', 'c', 'c', 'c'};
  w.writeWeek(1);
  EXPECT_TRUE(w.prompter.shown.empty());
  EXPECT_EQ(w.file.count("datRole", "Trial=1"), 4);
  ASSERT_EQ(w.prompter.sleeps.size(), 12u);
  EXPECT_EQ(w.prompter.sleeps.front(), 100ms);
  EXPECT_EQ(w.prompter.sleeps.back(), 1s);
}

// Past the outage limit the moderator is told which week waits.
TEST(WritePolicy, OutageBeyondTheLimitAsksNamingTheWaitingWeek) {
  Writes w;
  w.access.setOutageLimit(300ms);
  w.faulty.insertFaults = {'c', 'c', 'c'};
  w.prompter.answers = {Answer::Yes};
  w.writeWeek(4);
  ASSERT_EQ(w.prompter.shown.size(), 1u);
  EXPECT_EQ(w.prompter.last().kind, PromptKind::DatabaseRetry);
  EXPECT_NE(w.prompter.last().prompt.find("Trial 1, week 4 of P17 is waiting to be stored"),
            std::string::npos)
      << w.prompter.last().prompt;
  EXPECT_EQ(w.file.count("datRole", "Week=4"), 4);
}

TEST(WritePolicy, IgnoreDropsTheWholeOpen) {
  Writes w;
  w.faulty.insertFaults = {'.', 'k', 'k', 'k', 'k', 'k', 'k'};
  w.prompter.answers = {I};
  w.writeWeek(1);
  w.writeWeek(2);
  EXPECT_EQ(w.file.count("datRole"), 4);
  EXPECT_EQ(w.file.count("datRole", "Week=2"), 4);
  EXPECT_EQ(w.faulty.opens, 2);
}

// A failure that lost the open's rows asks at once; Retry writes them again.
TEST(WritePolicy, LostWriteAsksAtOnceAndRetryWritesTheOpenAgain) {
  Writes w;
  w.faulty.insertFaults = {'.', '.', 'l'};
  w.prompter.answers = {R};
  w.writeWeek(1);
  ASSERT_EQ(w.prompter.shown.size(), 1u);
  EXPECT_EQ(w.prompter.last().prompt.substr(0, 5), std::to_string(kErrWriteLost) + ":");
  EXPECT_EQ(w.file.count("datRole", "Trial=1"), 4);
  EXPECT_EQ(w.faulty.opens, 2);
}

// A file another program holds is waited for like a lost server, for the
// one limit; the question then says so in words, and closes by itself once
// the file can be written again.
TEST(WritePolicy, HeldFileIsWaitedForUntilTheLimitThenAskedInPlainWords) {
  Writes w;
  w.access.setOutageLimit(300ms);
  w.faulty.commitFails = 4;
  w.prompter.answers = {Answer::Yes};
  w.writeWeek(1);
  ASSERT_EQ(w.prompter.shown.size(), 1u);
  EXPECT_EQ(w.prompter.last().kind, PromptKind::DatabaseRetry);
  EXPECT_EQ(w.prompter.last().prompt.find("database is locked"), std::string::npos);
  EXPECT_NE(w.prompter.last().prompt.find(w.file.path() +
                                          " has been in use by another program for 0 s.\r\n"
                                          "Trial 1, week 1 of P17 is waiting to be stored."),
            std::string::npos)
      << w.prompter.last().prompt;
  EXPECT_EQ(w.file.count("datRole"), 4);
}

TEST(WritePolicy, HeldFileQuestionClosesByItselfOnceTheFileIsFree) {
  Writes w;
  w.access.setOutageLimit(300ms);
  w.faulty.openFails = 4;
  w.faulty.answersAgain = true;
  w.prompter.byKind[PromptKind::DatabaseRetry] = Answer::No;
  w.prompter.answeredByWait = 5s;
  w.writeWeek(1);
  EXPECT_EQ(w.file.count("datRole"), 4);
}

// Giving up (Abort, or No to the question after failed opens) ends the
// application with status 1, saying what was not stored.
TEST(WritePolicy, GivingUpEndsSayingWhatWasNotStored) {
  const struct {
    int openFails;
    std::string faults;
    int commitFails;
    Answer answer;
  } cases[] = {
      {30, "", 0, Answer::No},
      {0, "xxxxxx", 0, A},
      {0, "", 30, Answer::No},
  };
  for (const auto& k : cases) {
    Writes w;
    w.access.setOutageLimit(300ms);
    w.faulty.openFails = k.openFails;
    w.faulty.insertFaults.assign(k.faults.begin(), k.faults.end());
    w.faulty.commitFails = k.commitFails;
    w.prompter.answers = {k.answer};
    int code = 0;
    try {
      w.writeWeek(1);
    } catch (const ApplicationEnd& end) {
      code = end.code();
    }
    EXPECT_EQ(code, 1);
    EXPECT_EQ(w.prompter.last().prompt,
              "Trial 1, week 1 of P17 was not stored in the database.  The application ends.");
    EXPECT_EQ(w.prompter.last().kind, PromptKind::DatabaseNotStored);
    EXPECT_EQ(w.file.count("datRole"), 0);
  }
}

// Registration: the open has the read policy, a row that cannot be stored
// goes back to the questionnaire, and nothing is stored.
TEST(Registration, RowThatCannotBeStoredIsLeftToTheCaller) {
  TestDatabase db;
  Access a(db.path());
  ParticipantRow row;
  row.subject = "P1";
  row.age = 30;
  a.access.registerParticipant(row);
  EXPECT_EQ(testing::errorOf([&] { a.access.registerParticipant(row); }), kErrDuplicateKey);
  EXPECT_EQ(db.count("datUser"), 1);
  EXPECT_TRUE(a.prompter.shown.empty());
}

}  // namespace
}  // namespace quarn
