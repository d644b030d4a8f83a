#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "session/modDatabase.h"
#include "sim/Platform.h"
#include "tests/support/ScriptedToolkit.h"
#include "tests/support/TestDatabase.h"

namespace quarn {
namespace {

using namespace std::chrono_literals;
using testing::FixedRandom;
using testing::ScriptedToolkit;
using testing::TestDatabase;

struct Session {
  explicit Session(const std::string& path, std::vector<double> draws = {0.0})
      : random(std::move(draws)), db(*engine, toolkit, random) {
    db.DatabasePath = path;
  }
  std::unique_ptr<DatabaseEngine> engine = MakeSqlCipherEngine();
  ScriptedToolkit toolkit;
  FixedRandom random;
  Database db;
};

TEST(Backoff, CountGrowsWithTheSquareOfTheFailureCount) {
  FixedRandom low({0.0});
  FixedRandom high({0.9999999});
  EXPECT_EQ(DbBackoffCount(low, 1), 1000);
  EXPECT_EQ(DbBackoffCount(high, 1), 3999);
  EXPECT_EQ(DbBackoffCount(low, 5), 25000);
  EXPECT_EQ(DbBackoffCount(high, 5), 99975);
  EXPECT_EQ(DbBackoffDuration(1000), 10ms);
  EXPECT_LT(DbBackoffDuration(99975), 1s);
}

TEST(OpenFailure, MissingFileAsksOnTheSixthFailureAndAgainOnTheFifthAfterYes) {
  TestDatabase folder;
  Session s(folder.Folder() + "/absent.mdb");
  s.toolkit.answers = {MsgResult::Yes, MsgResult::No};
  EXPECT_THROW(DbOpenRecordset(s.db, "tblPlayer", true), ApplicationEnd);

  ASSERT_EQ(s.toolkit.shown.size(), 2u);
  EXPECT_EQ(s.toolkit.shown[0].style, MsgStyle::YesNoQuestion);
  EXPECT_EQ(s.toolkit.shown[0].title, "");
  EXPECT_NE(s.toolkit.shown[0].prompt.find(" Retry? (No to quit)"), std::string::npos);
  // Failures 1-5 back off with n = 1..5; the Yes after the sixth restarts at
  // n = 1, and failures 7-10 run n = 2..5 before the eleventh asks again.
  const std::vector<std::chrono::milliseconds> expected = {10ms, 40ms, 90ms, 160ms, 250ms,
                                                           10ms, 40ms, 90ms, 160ms, 250ms};
  EXPECT_EQ(s.toolkit.sleeps, expected);
  EXPECT_EQ(s.toolkit.doEvents, 10);
  EXPECT_FALSE(std::filesystem::exists(s.db.DatabasePath)) << "a reader never creates the file";
}

// A toolkit whose back-off lets time pass: the file turns up during a wait.
class FileAppearsToolkit : public ScriptedToolkit {
 public:
  std::function<void()> onSleep;
  void Sleep(std::chrono::milliseconds d) override {
    ScriptedToolkit::Sleep(d);
    if (sleeps.size() == 3 && onSleep) onSleep();
  }
};

TEST(OpenFailure, WrongFileIsRetriedUntilTheRightOneIsInPlace) {
  TestDatabase good;
  good.Insert("tblPlayer", {{"Name", "Anchor"}});
  const std::string path = good.Folder() + "/other.mdb";
  std::ofstream(path, std::ios::binary) << std::string(4096, 'x');  // not a database

  FileAppearsToolkit toolkit;
  toolkit.onSleep = [&] {
    std::filesystem::copy_file(good.Path(), path,
                               std::filesystem::copy_options::overwrite_existing);
  };
  FixedRandom random({0.5});
  auto engine = MakeSqlCipherEngine();
  Database db(*engine, toolkit, random);
  db.DatabasePath = path;
  auto rs = DbOpenRecordset(db, "tblPlayer", true);
  EXPECT_EQ(rs->Get("Name").AsText(), "Anchor");
  EXPECT_EQ(toolkit.sleeps.size(), 3u);
  EXPECT_TRUE(toolkit.shown.empty());
}

TEST(OpenFailure, FileEncryptedWithAnotherPasswordTakesTheRetryPath) {
  TestDatabase folder;
  const std::string path = folder.Folder() + "/foreign.mdb";
  const std::string command =
      "printf \"PRAGMA key='not the password'; CREATE TABLE tblPlayer(Name);\" | sqlcipher " +
      path + " >/dev/null 2>&1";
  if (std::system(command.c_str()) != 0 || !std::filesystem::exists(path)) {
    GTEST_SKIP() << "the sqlcipher shell is not available";
  }
  Session s(path);
  s.toolkit.answers = {MsgResult::No};
  EXPECT_THROW(DbOpenRecordset(s.db, "tblPlayer", true), ApplicationEnd);
  ASSERT_EQ(s.toolkit.shown.size(), 1u);
  EXPECT_EQ(s.toolkit.shown[0].style, MsgStyle::YesNoQuestion);
  EXPECT_EQ(s.toolkit.sleeps.size(), 5u);
}

// A plan file from an older version lacks a table or a column: readers and
// writers alike get the "most updated database file" message and the end.
TEST(OpenFailure, MissingTableOrColumnEndsWithTheUpdateMessage) {
  struct Case {
    std::string source;
    bool readOnly;
  };
  const std::vector<Case> cases = {
      {"SELECT * FROM tblPause WHERE Setting='Demo' ORDER BY Trial Asc;", true},
      {"SELECT * FROM tblBlock WHERE [tblBlock.Setting]='A' ORDER BY [tblBlock.Missing] DESC",
       true},
      {"datTrial", false},
  };
  for (const Case& c : cases) {
    TestDatabase db;
    db.Exec("DROP TABLE tblPause; DROP TABLE datTrial;");
    Session s(db.Path());
    EXPECT_THROW(DbOpenRecordset(s.db, c.source, c.readOnly), ApplicationEnd) << c.source;
    ASSERT_EQ(s.toolkit.shown.size(), 1u) << c.source;
    EXPECT_EQ(s.toolkit.shown[0].prompt,
              "Please get the most updated database file of " + db.Path() + "\r\n" + c.source);
    EXPECT_EQ(s.toolkit.shown[0].style, MsgStyle::OkOnly);
    EXPECT_EQ(s.toolkit.shown[0].title.rfind("Error 3265: ", 0), 0u) << s.toolkit.shown[0].title;
    EXPECT_TRUE(s.toolkit.sleeps.empty());
  }
}

// The weekly writer's pattern: four rows under one open, each failed Update
// handed to DbWriteRetry.
struct WeekResult {
  bool ignored = false;
};

WeekResult WriteWeek(Database& db, bool training, int16_t& trainingTrialNo) {
  auto rs = DbOpenRecordset(db, "datRole", false);
  for (const char* role : {"Factory", "Distributor", "Wholesaler", "Retailer"}) {
    rs->AddNew();
    rs->Set("Subject", std::string("S'1"));
    rs->Set("Setting", std::string("Demo"));
    if (training) {
      rs->Set("Trial", int64_t{trainingTrialNo});
      rs->Set("Training", int64_t{1});
    } else {
      rs->Set("Trial", int64_t{1});
    }
    rs->Set("Week", int64_t{1});
    rs->Set("Role", std::string(role));
    for (;;) {
      try {
        rs->Update();
        break;
      } catch (const QuarnError& failure) {
        MsgResult answer = DbWriteRetry(db, "Problems on weekly output to database", *rs, failure,
                                        training, trainingTrialNo);
        if (answer == MsgResult::Abort) db.toolkit.EndApplication();
        if (answer == MsgResult::Ignore) return {true};
      }
    }
  }
  rs->Close();
  DbClose(db, rs);
  return {};
}

void Occupy(TestDatabase& db, const char* role, std::initializer_list<int> trials) {
  for (int trial : trials) {
    db.Insert(
        "datRole",
        {{"Subject", "S'1"}, {"Setting", "Demo"}, {"Trial", trial}, {"Week", 1}, {"Role", role}});
  }
}

TEST(WriteRetry, FourRowsShareFiveAutomaticRetriesAndTheBoxComesAtTheSixth) {
  TestDatabase file;
  Occupy(file, "Factory", {1, 2});           // two failures on row 1
  Occupy(file, "Wholesaler", {1, 2, 3, 4});  // four on row 3
  Session s(file.Path());
  s.toolkit.answers = {MsgResult::Retry};
  int16_t unused = 0;
  WriteWeek(s.db, false, unused);

  ASSERT_EQ(s.toolkit.shown.size(), 1u);
  EXPECT_EQ(s.toolkit.shown[0].style, MsgStyle::AbortRetryIgnore);
  EXPECT_EQ(s.toolkit.shown[0].title, "Problems on weekly output to database");
  EXPECT_EQ(s.toolkit.shown[0].prompt.rfind(std::to_string(kErrDatabase + 19) + ": ", 0), 0u)
      << s.toolkit.shown[0].prompt;
  // Retry from the box repeats the Update with Trial 4 (taken), and that
  // failure starts a fresh budget which moves the row on to Trial 5.
  const std::string mine = "rowid>6";
  auto rows = file.Rows("SELECT Role, Trial FROM datRole WHERE " + mine + " ORDER BY rowid");
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(std::get<int64_t>(rows[0]["Trial"]), 3);
  EXPECT_EQ(std::get<int64_t>(rows[1]["Trial"]), 1);
  EXPECT_EQ(std::get<int64_t>(rows[2]["Trial"]), 5);
  EXPECT_EQ(std::get<int64_t>(rows[3]["Trial"]), 1);
}

TEST(WriteRetry, TrainingMovesTheTrainingTrialNumberDown) {
  TestDatabase file;
  Occupy(file, "Factory", {-1, -2});
  Session s(file.Path());
  int16_t trainingTrialNo = -1;
  WriteWeek(s.db, true, trainingTrialNo);
  EXPECT_EQ(trainingTrialNo, -3);
  EXPECT_TRUE(s.toolkit.shown.empty());
  // The later rows of the week are written under the moved number too.
  EXPECT_EQ(file.Count("datRole", "Training=1 AND Trial=-3"), 4);
}

TEST(WriteRetry, IgnoreAndAbortStoreNothingOfTheWeek) {
  for (MsgResult answer : {MsgResult::Ignore, MsgResult::Abort}) {
    TestDatabase file;
    Occupy(file, "Distributor", {1, 2, 3, 4, 5, 6});
    Session s(file.Path());
    s.toolkit.answers = {answer};
    int16_t unused = 0;
    if (answer == MsgResult::Abort) {
      EXPECT_THROW(WriteWeek(s.db, false, unused), ApplicationEnd);
    } else {
      EXPECT_TRUE(WriteWeek(s.db, false, unused).ignored);
    }
    EXPECT_EQ(s.toolkit.shown.size(), 1u);
    EXPECT_EQ(file.Count("datRole"), 6) << "the Factory row stored before the failure is gone too";
  }
}

TEST(WriteRetry, EveryOpenStartsWithAFullBudget) {
  TestDatabase file;
  Session s(file.Path());
  s.db.DbWriteRetries = 5;
  auto rs = DbOpenRecordset(s.db, "datRole", false);
  EXPECT_EQ(s.db.DbWriteRetries, 0);
  DbClose(s.db, rs);
  EXPECT_EQ(rs, nullptr);
}

TEST(SqlQuote, DoublesSingleQuotes) {
  EXPECT_EQ(SqlQuote("O'Brien's"), "O''Brien''s");
  EXPECT_EQ(SqlQuote("plain"), "plain");
}

TEST(Field, TypedReads) {
  EXPECT_EQ(Field("a", 2.5).AsInt16(), 2);
  EXPECT_EQ(Field("a", 3.5).AsInt16(), 4);
  EXPECT_EQ(Field("a", std::string(" 12 ")).AsInt32(), 12);
  EXPECT_THROW(Field("a", int64_t{40000}).AsInt16(), OverflowError);
  for (auto read : {+[](const Field& f) { f.AsInt16(); }, +[](const Field& f) { f.AsDouble(); },
                    +[](const Field& f) { f.AsText(); }}) {
    try {
      read(Field("a", std::monostate{}));
      ADD_FAILURE() << "Null read without an error";
    } catch (const QuarnError& e) {
      EXPECT_EQ(e.Number(), kErrInvalidUseOfNull);
    }
  }
  EXPECT_FALSE(Field("a", std::monostate{}).AsBool());
  EXPECT_FALSE(Field("a", int64_t{0}).AsBool());
  EXPECT_TRUE(Field("a", int64_t{-1}).AsBool());
  EXPECT_EQ(Field("a", int64_t{7}).AsText(), "7");
  try {
    Field("a", std::string("abc")).AsInt16();
    ADD_FAILURE();
  } catch (const QuarnError& e) {
    EXPECT_EQ(e.Number(), kErrTypeMismatch);
  }
}

}  // namespace
}  // namespace quarn
