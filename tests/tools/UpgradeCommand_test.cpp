#include <gtest/gtest.h>

#include <filesystem>
#include <iostream>
#include <sstream>

#include "db/Schema.h"
#include "tests/support/TestDatabase.h"
#include "tools/Commands.h"

namespace quarn::testing {
namespace {

std::string runUpgrade(const std::string& database) {
  std::ostringstream out;
  std::streambuf* saved = std::cout.rdbuf(out.rdbuf());
  const int code = admin::cmdUpgrade({database});
  std::cout.rdbuf(saved);
  EXPECT_EQ(code, 0);
  return out.str();
}

TEST(UpgradeCommand, UpgradesAnOlderFileThenFindsItUpToDate) {
  TestDatabase folder;
  const std::string old = folder.folder() + "/old.mdb";
  std::filesystem::copy_file(std::string(QUARN_DB_TEST_DATA) + "/version1.mdb", old);
  const std::string version = std::to_string(currentSchema().version);

  EXPECT_EQ(runUpgrade(old), "The database " + old + " was upgraded from schema version 1 to " +
                                 version + ". The file as it was is kept as " + old + ".bak-1.\n");
  EXPECT_TRUE(std::filesystem::exists(old + ".bak-1"));
  EXPECT_EQ(runUpgrade(old), old + " is up to date (schema version " + version + ")\n");
}

}  // namespace
}  // namespace quarn::testing
