#include "db/sqlcipher/ConnectionPool.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "db/DatabaseAdmin.h"
#include "db/TableWriter.h"
#include "tests/support/TestDatabase.h"

namespace quarn {
namespace {

using testing::TestDatabase;

const char* const kSettings = R"(SELECT "Setting" FROM "tblBlock" ORDER BY "Setting")";

class ConnectionPoolTest : public ::testing::Test {
 protected:
  void SetUp() override { keepIdleConnections(2); }
  void TearDown() override { keepIdleConnections(0); }
};

std::vector<std::string> settingsOf(SqlCipherConnection& connection) {
  std::vector<std::string> settings;
  for (const Row& row : connection.query(kSettings))
    settings.push_back(row.cell("Setting").toText());
  return settings;
}

void addSetting(const std::string& path, const std::string& setting) {
  TableRow row;
  row.emplace_back("Setting", setting);
  insertRows(path, "tblBlock", {row});
}

TEST_F(ConnectionPoolTest, ReusedConnectionSeesOtherConnectionsWrites) {
  TestDatabase db;
  const SqlCipherConnection* first = nullptr;
  {
    PooledConnection reader = connectTo(db.path(), OpenMode::ReadOnly);
    first = reader.get();
    EXPECT_TRUE(settingsOf(*reader).empty());
  }
  addSetting(db.path(), "Outside");
  {
    PooledConnection writer = connectTo(db.path(), OpenMode::ReadWrite);
    writer->execute(R"(INSERT INTO "tblBlock" ("Setting") VALUES ('Pooled'))");
  }
  PooledConnection reader = connectTo(db.path(), OpenMode::ReadOnly);
  EXPECT_EQ(reader.get(), first);
  EXPECT_EQ(settingsOf(*reader), (std::vector<std::string>{"Outside", "Pooled"}));
}

TEST_F(ConnectionPoolTest, NeverHandsOneConnectionToTwoUsers) {
  TestDatabase db;
  std::mutex mutex;
  std::set<const SqlCipherConnection*> held;
  int sharedUses = 0;
  std::vector<std::thread> users;
  for (int u = 0; u < 4; ++u) {
    users.emplace_back([&] {
      for (int i = 0; i < 100; ++i) {
        PooledConnection connection = connectTo(db.path(), OpenMode::ReadOnly);
        {
          std::lock_guard<std::mutex> lock(mutex);
          if (!held.insert(connection.get()).second) ++sharedUses;
        }
        settingsOf(*connection);
        std::lock_guard<std::mutex> lock(mutex);
        held.erase(connection.get());
      }
    });
  }
  for (std::thread& user : users) user.join();
  EXPECT_EQ(sharedUses, 0);
  EXPECT_LE(idleConnections(), 2u);
}

// Another file put at the path while a connection to the old one is idle:
// moved there (a new inode) or copied over it (the same inode, another salt).
TEST_F(ConnectionPoolTest, ReplacedFileIsNotReadThroughStaleConnection) {
  enum class Replacement { Moved, CopiedInPlace };
  for (const Replacement replacement : {Replacement::Moved, Replacement::CopiedInPlace}) {
    TestDatabase db;
    addSetting(db.path(), "Old");
    EXPECT_EQ(settingsOf(*connectTo(db.path(), OpenMode::ReadOnly)),
              std::vector<std::string>{"Old"});
    const std::string other = db.folder() + "/other.mdb";
    createDatabase(other);
    addSetting(other, "New");
    if (replacement == Replacement::Moved) {
      std::filesystem::rename(other, db.path());
    } else {
      std::ifstream source(other, std::ios::binary);
      std::ofstream target(db.path(), std::ios::binary | std::ios::in | std::ios::trunc);
      target << source.rdbuf();
    }
    EXPECT_EQ(settingsOf(*connectTo(db.path(), OpenMode::ReadOnly)),
              std::vector<std::string>{"New"})
        << (replacement == Replacement::Moved ? "moved" : "copied in place");
  }
}

TEST_F(ConnectionPoolTest, IdleConnectionSeesUpgradedSchema) {
  TestDatabase db;
  const size_t before = connectTo(db.path(), OpenMode::ReadOnly)->columns("tblBlock").size();
  {
    SqlCipherConnection upgrade(db.path(), OpenMode::ReadWrite);
    upgrade.executeScript(R"(ALTER TABLE "tblBlock" ADD COLUMN "Added" INTEGER;)");
  }
  const std::vector<ColumnInfo> after =
      connectTo(db.path(), OpenMode::ReadOnly)->columns("tblBlock");
  ASSERT_EQ(after.size(), before + 1);
  EXPECT_EQ(after.back().name, "Added");
}

// A connection given back inside its transaction would keep the file's
// write lock while idle: it is closed, and the lock with it.
TEST_F(ConnectionPoolTest, ConnectionReleasedInTransactionIsClosed) {
  TestDatabase db;
  {
    PooledConnection writer = connectTo(db.path(), OpenMode::ReadWrite);
    writer->executeScript("BEGIN IMMEDIATE;");
  }
  EXPECT_EQ(idleConnections(), 0u);
  EXPECT_TRUE(fileTakesWrites(db.path()));
}

// The marks' writes turn syncing off on their connection; the next user of
// that connection syncs again.
TEST_F(ConnectionPoolTest, ReusedConnectionSyncsAsANewOne) {
  TestDatabase db;
  const auto synchronous = [](SqlCipherConnection& connection) {
    return std::get<int64_t>(connection.query("PRAGMA synchronous;").front().values().front());
  };
  PooledConnection fresh = connectTo(db.path(), OpenMode::ReadWrite);
  const int64_t byDefault = synchronous(*fresh);
  fresh->executeScript("PRAGMA synchronous=OFF;");
  const SqlCipherConnection* used = fresh.get();
  fresh.reset();
  PooledConnection reused = connectTo(db.path(), OpenMode::ReadWrite);
  ASSERT_EQ(reused.get(), used);
  EXPECT_EQ(synchronous(*reused), byDefault);
}

}  // namespace
}  // namespace quarn
