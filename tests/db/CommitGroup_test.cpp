#include "db/sqlcipher/CommitGroup.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "db/DbError.h"
#include "tests/support/TestDatabase.h"

namespace quarn {
namespace {

using testing::TestDatabase;

void addSetting(SqlCipherConnection& db, const std::string& setting) {
  db.execute(R"(INSERT INTO "tblBlock" ("Setting") VALUES (?))", {setting});
}

class CommitGroupTest : public ::testing::Test {
 protected:
  void SetUp() override { groupFileCommits(true); }
  void TearDown() override { groupFileCommits(false); }

  // Runs `first` as the write that leads a group, holding it until
  // `others` wait behind it: they are committed together in the next
  // group. Returns each other write's failure ("" when it was stored).
  std::vector<std::string> writeBehind(const FileWrite& first,
                                       const std::vector<FileWrite>& others) {
    std::promise<void> leading;
    std::promise<void> othersQueued;
    auto leader = std::async(std::launch::async, [&] {
      writeToFile(db.path(), nullptr, Durability::Synced, [&](SqlCipherConnection& connection) {
        first(connection);
        leading.set_value();
        othersQueued.get_future().wait();
      });
    });
    leading.get_future().wait();
    std::vector<std::future<std::string>> writers;
    for (const FileWrite& write : others) {
      writers.push_back(std::async(std::launch::async, [&] {
        try {
          writeToFile(db.path(), nullptr, Durability::Synced, write);
          return std::string();
        } catch (const QuarnError& failure) {
          return failure.description();
        }
      }));
    }
    while (writesWaiting(db.path()) < others.size()) std::this_thread::yield();
    othersQueued.set_value();
    leader.get();
    std::vector<std::string> failures;
    for (auto& writer : writers) failures.push_back(writer.get());
    return failures;
  }

  TestDatabase db;
  const GroupCounts startCounts = groupCounts();
};

FileWrite adding(const std::string& setting) {
  return [setting](SqlCipherConnection& db) { addSetting(db, setting); };
}

TEST_F(CommitGroupTest, FailedWriteIsReportedToItsWriterAloneAndTheGroupIsStored) {
  const FileWrite failing = [](SqlCipherConnection& db) {
    addSetting(db, "Half");
    throw DbError(DbErrorKind::Other, kErrDatabase, "the write failed halfway");
  };
  const std::vector<std::string> failures =
      writeBehind(adding("Leader"), {adding("B"), failing, adding("D")});
  EXPECT_EQ(failures, (std::vector<std::string>{"", "the write failed halfway", ""}));
  // A connection of its own reads the file as the next program would.
  EXPECT_EQ(testing::countRows(db.path(), "tblBlock", "Setting IN ('Leader', 'B', 'D')"), 3);
  EXPECT_EQ(testing::countRows(db.path(), "tblBlock", "Setting = 'Half'"), 0);
  const GroupCounts counts = groupCounts();
  EXPECT_EQ(counts.commits - startCounts.commits, 2u);
  EXPECT_EQ(counts.writes - startCounts.writes, 3u);
}

// An I/O fault rolls the whole transaction back, not the statement alone:
// the writes of the group that did not fail are run again and stored.
TEST_F(CommitGroupTest, WriteThatUndidTheTransactionCostsTheOthersNothing) {
  const FileWrite breaking = [](SqlCipherConnection& db) {
    addSetting(db, "Broken");
    db.executeScript("ROLLBACK;");
    throw DbError(DbErrorKind::WriteLost, kErrWriteLost, "the transaction was rolled back");
  };
  const std::vector<std::string> failures =
      writeBehind(adding("Leader"), {adding("B"), breaking, adding("D")});
  EXPECT_EQ(failures, (std::vector<std::string>{"", "the transaction was rolled back", ""}));
  EXPECT_EQ(testing::countRows(db.path(), "tblBlock", "Setting IN ('Leader', 'B', 'D')"), 3);
  EXPECT_EQ(testing::countRows(db.path(), "tblBlock", "Setting = 'Broken'"), 0);
}

TEST_F(CommitGroupTest, EveryWriteIsInTheFileWhenItsWriterGoesOn) {
  constexpr int kWriters = 8;
  constexpr int kWrites = 15;
  std::vector<std::future<int>> writers;
  for (int w = 0; w < kWriters; ++w) {
    writers.push_back(std::async(std::launch::async, [&, w] {
      int missing = 0;
      for (int i = 0; i < kWrites; ++i) {
        const std::string setting = "W" + std::to_string(w) + "-" + std::to_string(i);
        writeToFile(db.path(), nullptr, i % 3 ? Durability::Synced : Durability::Unsynced,
                    adding(setting));
        missing += testing::countRows(db.path(), "tblBlock", "Setting = '" + setting + "'") != 1;
      }
      return missing;
    }));
  }
  for (auto& writer : writers) EXPECT_EQ(writer.get(), 0);
  EXPECT_EQ(testing::countRows(db.path(), "tblBlock", "Setting LIKE 'W%'"), kWriters * kWrites);
  EXPECT_EQ(groupCounts().writes - startCounts.writes, uint64_t{kWriters * kWrites});
}

}  // namespace
}  // namespace quarn
