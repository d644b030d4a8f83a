#include "db/SqlCipherConnection.h"

#include <gtest/gtest.h>

#include <fstream>

#include "db/DbError.h"
#include "tests/support/TestDatabase.h"

namespace quarn {
namespace {

using testing::errorOf;
using testing::TestDatabase;

TEST(SqlCipherConnection, BindsValuesThatHoldQuotesAndBrackets) {
  TestDatabase db;
  const std::string setting = "O'Brien [v.2]";
  db.insert("tblBlock", {{"Setting", setting}, {"Delay", 2}});
  db.insert("tblBlock", {{"Setting", "Other"}, {"Delay", 9}});
  SqlCipherConnection connection(db.path(), OpenMode::ReadOnly);
  const Rows rows = connection.query(R"(SELECT * FROM "tblBlock" WHERE "Setting" = ?)", {setting});
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].cell("delay").toInt16(), 2) << "columns are found in any letter case";
  EXPECT_EQ(errorOf([&] { rows[0].cell("Colour"); }), kErrItemNotFound);
}

TEST(SqlCipherConnection, ValueNeverWidensTheQuery) {
  TestDatabase db;
  db.insert("tblBlock", {{"Setting", "A"}});
  SqlCipherConnection connection(db.path(), OpenMode::ReadOnly);
  EXPECT_TRUE(connection.query(R"(SELECT * FROM "tblBlock" WHERE "Setting" = ?)", {"x' OR '1'='1"})
                  .empty());
}

TEST(SqlCipherConnection, ReadOnlyConnectionWritesNothing) {
  TestDatabase db;
  db.insert("tblPlayer", {{"Name", "A"}});
  SqlCipherConnection connection(db.path(), OpenMode::ReadOnly);
  EXPECT_EQ(errorOf([&] { connection.execute(R"(DELETE FROM "tblPlayer")"); }),
            kErrDatabase + 8 /* SQLITE_READONLY */);
  EXPECT_NE(errorOf([&] { connection.query(R"(SELECT 1; DELETE FROM "tblPlayer")"); }), 0);
  EXPECT_EQ(db.count("tblPlayer"), 1);
}

// The message after an outdated file names the statement.
TEST(SqlCipherConnection, MissingTableIsItemNotFoundNamingTheStatement) {
  TestDatabase db;
  SqlCipherConnection connection(db.path(), OpenMode::ReadOnly);
  const std::string sql = R"(SELECT "Colour" FROM "tblPlayer")";
  try {
    connection.query(sql);
    FAIL();
  } catch (const DbError& e) {
    EXPECT_EQ(e.number(), kErrItemNotFound);
    EXPECT_EQ(e.kind(), DbErrorKind::ItemNotFound);
    EXPECT_EQ(e.source(), sql);
  }
}

TEST(SqlCipherConnection, CaseBlindCollationFoldsLettersBeyondAscii) {
  TestDatabase db;
  db.insert("datUser", {{"Subject", "Zo\xC3\xAB"}});
  SqlCipherConnection connection(db.path(), OpenMode::ReadOnly);
  const std::string sql =
      std::string(R"(SELECT "Subject" FROM "datUser" WHERE "Subject" = ? COLLATE )") +
      kCaseBlindCollation;
  EXPECT_EQ(connection.query(sql, {"ZO\xC3\x8B"}).size(), 1u);
  EXPECT_TRUE(connection.query(sql, {"Zoe"}).empty());
}

TEST(SqlCipherConnection, RefusesAFileThatIsNoDatabase) {
  TestDatabase db;
  const std::string path = db.folder() + "/garbage.mdb";
  std::ofstream(path, std::ios::binary) << std::string(4096, 'x');
  EXPECT_NE(errorOf([&] { SqlCipherConnection(path, OpenMode::ReadOnly); }), 0);
}

}  // namespace
}  // namespace quarn
