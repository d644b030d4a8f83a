#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "base/Clock.h"
#include "base/Random.h"
#include "session/modDatabase.h"
#include "tests/support/ScriptedPrompter.h"
#include "tests/support/TestDatabase.h"

namespace quarn {
namespace {

using namespace std::chrono_literals;
using testing::ErrorOf;
using testing::FixedRandom;
using testing::ScriptedPrompter;
using testing::TestDatabase;

// A toolkit whose back-off lets time pass: a file can turn up during a wait.
class FileAppearsPrompter : public ScriptedPrompter {
 public:
  std::function<void()> onSleep;
  void wait(std::chrono::milliseconds d) override {
    ScriptedPrompter::wait(d);
    if (sleeps.size() == 3 && onSleep) onSleep();
  }
};

struct Session {
  explicit Session(const std::string& path, std::vector<double> draws = {0.0})
      : random(std::move(draws)), db(*engine, toolkit, random) {
    db.DatabasePath = path;
  }
  std::unique_ptr<DatabaseEngine> engine = MakeSqlCipherEngine();
  FileAppearsPrompter toolkit;
  FixedRandom random;
  Database db;
};

TEST(Backoff, CountGrowsWithTheSquareOfTheFailureCount) {
  FixedRandom low({0.0}), high({0.9999999});
  EXPECT_EQ(std::vector<int64_t>({DbBackoffCount(low, 1), DbBackoffCount(high, 1),
                                  DbBackoffCount(low, 5), DbBackoffCount(high, 5)}),
            std::vector<int64_t>({1000, 3999, 25000, 99975}));
  EXPECT_EQ(DbBackoffDuration(1000), 10ms);
  EXPECT_LT(DbBackoffDuration(99975), 1s);
}

TEST(OpenFailure, MissingFileAsksOnTheSixthFailureAndAgainOnTheFifthAfterYes) {
  TestDatabase folder;
  Session s(folder.Folder() + "/absent.mdb");
  s.toolkit.answers = {Answer::Yes, Answer::No};
  EXPECT_THROW(DbOpenRecordset(s.db, "tblPlayer", true), ApplicationEnd);

  ASSERT_EQ(s.toolkit.shown.size(), 2u);
  EXPECT_EQ(s.toolkit.shown[0].style, PromptStyle::YesNoQuestion);
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

TEST(OpenFailure, WrongFileIsRetriedUntilTheRightOneIsInPlace) {
  TestDatabase good;
  good.Insert("tblPlayer", {{"Name", "Anchor"}});
  const std::string path = good.Folder() + "/other.mdb";
  std::ofstream(path, std::ios::binary) << std::string(4096, 'x');  // not a database

  Session s(path);
  s.toolkit.onSleep = [&] {
    std::filesystem::copy_file(good.Path(), path,
                               std::filesystem::copy_options::overwrite_existing);
  };
  auto rs = DbOpenRecordset(s.db, "tblPlayer", true);
  EXPECT_EQ(rs->Get("Name").AsText(), "Anchor");
  EXPECT_EQ(s.toolkit.sleeps.size(), 3u);
  EXPECT_TRUE(s.toolkit.shown.empty());
}

// A plan file from an older version lacks a table or a column: readers and
// writers alike get the "most updated database file" message and the end.
TEST(OpenFailure, MissingTableOrColumnEndsWithTheUpdateMessage) {
  const std::vector<std::pair<std::string, bool>> cases = {
      {"SELECT * FROM tblBlock WHERE [tblBlock.Setting]='A' ORDER BY [tblBlock.Missing] DESC",
       true},
      {"datTrial", false},
  };
  for (const auto& [source, readOnly] : cases) {
    TestDatabase db;
    db.Exec("DROP TABLE datTrial;");
    Session s(db.Path());
    EXPECT_THROW(DbOpenRecordset(s.db, source, readOnly), ApplicationEnd) << source;
    ASSERT_EQ(s.toolkit.shown.size(), 1u) << source;
    EXPECT_EQ(s.toolkit.shown[0].prompt,
              "Please get the most updated database file of " + db.Path() + "\r\n" + source);
    EXPECT_EQ(s.toolkit.shown[0].style, PromptStyle::Ok);
    EXPECT_EQ(s.toolkit.shown[0].title.rfind("Error 3265: ", 0), 0u) << s.toolkit.shown[0].title;
    EXPECT_TRUE(s.toolkit.sleeps.empty());
  }
}

TEST(Field, TypedReads) {
  EXPECT_THROW(Field("a", int64_t{40000}).AsInt16(), OverflowError);
  const Field null("a", std::monostate{});
  EXPECT_EQ(ErrorOf([&] { null.AsText(); }), kErrInvalidUseOfNull);
  EXPECT_EQ(ErrorOf([] { Field("a", std::string("abc")).AsInt16(); }), kErrTypeMismatch);
  EXPECT_FALSE(null.AsBool() || !Field("a", int64_t{-1}).AsBool());
}

}  // namespace
}  // namespace quarn
