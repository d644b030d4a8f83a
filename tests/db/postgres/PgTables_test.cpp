#include "db/postgres/PgTables.h"

#include <gtest/gtest.h>

#include <sstream>

#include "db/DatabaseAdmin.h"
#include "tests/support/EngineDatabases.h"

namespace quarn::testing {
namespace {

// A CSV of datUser rows P1..Pn, with row `twin` (1-based, 0 for none)
// repeating the User ID of row 1.
std::string participants(int n, int twin = 0) {
  std::string csv = "Subject,Age\r\n";
  for (int i = 1; i <= n; ++i) {
    csv += "P" + std::to_string(i == twin ? 1 : i) + "," + std::to_string(18 + i % 40) + "\r\n";
  }
  return csv;
}

TEST(PgTables, ImportOfManyBatchesStoresEveryRowInItsOrder) {
  ServerDatabase db;
  std::istringstream csv(participants(2500));
  EXPECT_EQ(importCsv(db.tables(), "datUser", csv), 2500);
  const Rows rows = db.tables().reads().query(
      R"(SELECT "Subject" FROM "datUser" ORDER BY rowid LIMIT 3 OFFSET 1999)");
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0].cell("Subject").toText(), "P2000");
  EXPECT_EQ(rows[2].cell("Subject").toText(), "P2002");
  EXPECT_EQ(db.count("datUser", R"("Age" = 18)"), 2500 / 40);
}

// A failing row inside a batch is named by its own line, wherever the batch
// around it is sent; nothing of the import is stored.
TEST(PgTables, ImportFailureInABatchNamesTheRowsLine) {
  // The rows go in batches of 1,000: the first row, a batch's last and the
  // next one's first, and the import's last row, sent with the commit.
  for (const int twin : {2, 1000, 1001, 2000}) {
    SCOPED_TRACE(twin);
    ServerDatabase db;
    std::istringstream csv(participants(2000, twin));
    try {
      importCsv(db.tables(), "datUser", csv);
      ADD_FAILURE() << "imported";
    } catch (const QuarnError& failure) {
      const std::string line = "line " + std::to_string(twin + 1) + ":";
      EXPECT_EQ(failure.description().substr(0, line.size()), line) << failure.description();
      EXPECT_EQ(failure.number(), kErrDuplicateKey);
    }
    EXPECT_EQ(db.count("datUser"), 0);
  }
}

}  // namespace
}  // namespace quarn::testing
