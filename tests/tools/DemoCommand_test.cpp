#include <gtest/gtest.h>

#include <filesystem>
#include <iostream>
#include <sstream>

#include "tests/support/TestDatabase.h"
#include "tools/Commands.h"

namespace quarn {
namespace {

using testing::TestDatabase;

// The demo passes the plan check, its demand file in place.
TEST(DemoCommand, MakesADemoThatPassesThePlanCheck) {
  TestDatabase scratch;
  const std::string dataDir = scratch.folder() + "/app/data";
  ASSERT_EQ(admin::cmdDemo({dataDir}), 0);
  std::ostringstream checked;
  std::streambuf* saved = std::cout.rdbuf(checked.rdbuf());
  EXPECT_EQ(admin::cmdCheck({dataDir}), 0);
  std::cout.rdbuf(saved);
  const std::string findings = checked.str().substr(checked.str().find('\n') + 1);
  EXPECT_EQ(findings, "0 faults, 0 warnings in 2 settings\n");
  EXPECT_TRUE(std::filesystem::exists(scratch.folder() + "/app/Input/demo-demand.txt"));
}

TEST(DemoCommand, RefusesToOverwriteADatabase) {
  TestDatabase scratch;
  const std::string dataDir = scratch.folder() + "/app/data";
  ASSERT_EQ(admin::cmdDemo({dataDir}), 0);
  EXPECT_THROW(admin::cmdDemo({dataDir}), QuarnError);
  SqlCipherConnection demo(dataDir + "/quarn.mdb", OpenMode::ReadOnly);
  EXPECT_EQ(demo.query(R"(SELECT * FROM "tblPlayer")").size(), 4u) << "the file is untouched";
}

}  // namespace
}  // namespace quarn
