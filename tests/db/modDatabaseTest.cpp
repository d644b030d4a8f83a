#include <gtest/gtest.h>

#include "sim/Platform.h"
#include "tests/support/ScriptedToolkit.h"
#include "tests/support/TestDatabase.h"

namespace quarn {
namespace {

TEST(Smoke, InsertAndRead) {
  testing::TestDatabase db;
  db.Insert("tblBlock", {{"Setting", "A"}, {"Runs", 3}});
  EXPECT_EQ(db.Count("tblBlock"), 1);
}

}  // namespace
}  // namespace quarn
