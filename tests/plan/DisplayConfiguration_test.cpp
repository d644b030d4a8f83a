#include "plan/DisplayConfiguration.h"

#include "tests/plan/PlanFixture.h"

namespace quarn::testing {
namespace {

class DisplayTest : public PlanTest {
 protected:
  void Option(const char* name, int shown) {
    Row("tblDisplayOption", {{"Option", name},
                             {"RecentOrder", shown},
                             {"BackOrder", shown},
                             {"Inventory", shown},
                             {"Satisfied", shown},
                             {"Demand", shown},
                             {"Cost", shown}});
  }
};

TEST_F(DisplayTest, ConfigurationAndItsFourOptions) {
  Option("None", 0);
  Option("All", 1);
  Row("tblDisplayOption", {{"Option", "Partial"}, {"Inventory", TestValue()}, {"Cost", 0}});
  Row("tblDisplay", {{"Configuration", "Blind"},
                     {"BottlesF", 0},
                     {"TrucksFD", 1},
                     {"TrucksDW", TestValue()},
                     {"TrucksWR", 1},
                     {"TotalCost", 0},
                     {"Factory", "None"},
                     {"Distributor", "All"},
                     {"Wholesaler", "Partial"},
                     {"Retailer", "Unknown"}});
  const DisplayConfiguration c = ReadDisplayConfiguration(db, "Blind");
  EXPECT_TRUE(c.found);
  EXPECT_FALSE(c.BottlesF);
  EXPECT_TRUE(c.TrucksFD);
  EXPECT_FALSE(c.TrucksDW);
  EXPECT_TRUE(c.TrucksWR);
  EXPECT_FALSE(c.TotalCost);
  EXPECT_TRUE(c.roles[0].found);
  EXPECT_FALSE(c.roles[0].RecentOrder || c.roles[0].Cost || c.roles[0].Demand);
  EXPECT_TRUE(c.roles[1].RecentOrder && c.roles[1].Cost && c.roles[1].Satisfied);
  EXPECT_FALSE(c.roles[2].Inventory);  // Null reads as false
  EXPECT_TRUE(c.roles[2].BackOrder);
  EXPECT_FALSE(c.roles[2].Cost);
  EXPECT_EQ(c.roles[3].option, "Unknown");
  EXPECT_FALSE(c.roles[3].found);
}

TEST_F(DisplayTest, UnknownConfigurationLooksOptionsUpUnderEmptyNames) {
  Option("", 0);
  const DisplayConfiguration c = ReadDisplayConfiguration(db, "O'Brien");
  EXPECT_FALSE(c.found);
  for (const RoleDisplay& role : c.roles) {
    EXPECT_TRUE(role.found);
    EXPECT_EQ(role.option, "");
    EXPECT_FALSE(role.Inventory);
  }
  file.Exec("DELETE FROM tblDisplayOption");
  EXPECT_FALSE(ReadDisplayConfiguration(db, "Missing").roles[0].found);
}

}  // namespace
}  // namespace quarn::testing
