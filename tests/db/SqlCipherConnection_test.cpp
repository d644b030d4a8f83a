#include "db/sqlcipher/SqlCipherConnection.h"

#include <gtest/gtest.h>

#include "db/DbError.h"
#include "tests/support/TestDatabase.h"

namespace quarn {
namespace {

using testing::errorOf;
using testing::TestDatabase;

// A bound value with quotes and brackets matches itself and never widens
// the query.
TEST(SqlCipherConnection, BoundValuesStayValues) {
  TestDatabase db;
  const std::string setting = "O'Brien [v.2]";
  db.insert("tblBlock", {{"Setting", setting}, {"Delay", 2}});
  db.insert("tblBlock", {{"Setting", "Other"}, {"Delay", 9}});
  SqlCipherConnection connection(db.path(), OpenMode::ReadOnly);
  const std::string sql = R"(SELECT * FROM "tblBlock" WHERE "Setting" = ?)";
  const Rows rows = connection.query(sql, {setting});
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].cell("Delay").toInt16(), 2);
  EXPECT_TRUE(connection.query(sql, {"x' OR '1'='1"}).empty());
}

TEST(SqlCipherConnection, FindsCellsByColumnNameInAnyLetterCase) {
  TestDatabase db;
  db.insert("tblBlock", {{"Setting", "A"}, {"Delay", 2}});
  const Rows rows =
      SqlCipherConnection(db.path(), OpenMode::ReadOnly).query(R"(SELECT * FROM "tblBlock")");
  EXPECT_EQ(rows.at(0).cell("delay").toInt16(), 2);
  EXPECT_EQ(errorOf([&] { rows[0].cell("Colour"); }), kErrItemNotFound);
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

}  // namespace
}  // namespace quarn
