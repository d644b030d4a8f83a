#include "db/postgres/PgSchema.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "db/postgres/PgError.h"
#include "tests/db/postgres/TestServer.h"

namespace quarn {
namespace {

using testing::pgErrorOf;
using testing::ScratchSchema;

TEST(PgSchema, RefusesWhenAnyTableExistsAndCreatesNothing) {
  struct Case {
    const char* name;
    const char* existing;  // SQL run before the create
  };
  const std::vector<Case> cases = {
      {"a created schema", nullptr},
      {"one table", R"(CREATE TABLE "datTrial" (x bigint))"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScratchSchema scratch;
    if (c.existing) {
      scratch.db.exec(c.existing);
    } else {
      createSchema(scratch.db);
      scratch.db.exec(R"(INSERT INTO "datUser" ("Subject") VALUES ('S1'))");
    }
    const int64_t tablesBefore = scratch.count("pg_tables WHERE schemaname = current_schema()");

    const auto error = pgErrorOf([&] { createSchema(scratch.db); });
    ASSERT_TRUE(error);
    EXPECT_NE(error->description().find("already holds"), std::string::npos);
    EXPECT_EQ(scratch.count("pg_tables WHERE schemaname = current_schema()"), tablesBefore);
    if (!c.existing) {
      EXPECT_EQ(scratch.count(R"("datUser")"), 1);
    }
  }
}

TEST(PgSchema, NumbersRowsInInsertionOrderThroughUpdates) {
  ScratchSchema scratch;
  createSchema(scratch.db);
  for (const char* setting : {"Third", "First", "Second"}) {
    scratch.db.exec(R"(INSERT INTO "tblTraining" ("Setting") VALUES ($1))", {std::string(setting)});
  }
  // An update writes a new version of the row elsewhere in the table.
  scratch.db.exec(R"(UPDATE "tblTraining" SET "Password" = 'y' WHERE "Setting" = 'Third')");
  const PgResult rows = scratch.db.exec(R"(SELECT "Setting" FROM "tblTraining" ORDER BY rowid)");
  ASSERT_EQ(rows.rows.size(), 3u);
  EXPECT_EQ(rows.rows[0][0], PgValue(std::string("Third")));
  EXPECT_EQ(rows.rows[1][0], PgValue(std::string("First")));
  EXPECT_EQ(rows.rows[2][0], PgValue(std::string("Second")));
}

}  // namespace
}  // namespace quarn
