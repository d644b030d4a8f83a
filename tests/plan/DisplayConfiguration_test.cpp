#include "plan/DisplayConfiguration.h"

#include "tests/plan/PlanFixture.h"

namespace quarn::testing {
namespace {

class DisplayTest : public PlanTest {
 protected:
  DisplayTest() {
    insertRow("tblDisplayOption",
              {{"Option", "All"}, {"RecentOrder", 1}, {"Inventory", 1}, {"Cost", 1}});
    insertRow("tblDisplayOption", {{"Option", "Partial"}, {"Inventory", TestValue()}, {"Cost", 0}});
    insertRow("tblDisplay", {{"Configuration", "Blind"},
                             {"BottlesF", 0},
                             {"TrucksFD", 1},
                             {"TrucksDW", TestValue()},
                             {"TrucksWR", 1},
                             {"TotalCost", 0},
                             {"Distributor", "All"},
                             {"Wholesaler", "Partial"},
                             {"Retailer", "Unknown"}});
  }
};

TEST_F(DisplayTest, NamedConfigurationSaysWhichTrucksAndTotalsShow) {
  const DisplayConfiguration c = readDisplayConfiguration(tables(), "Blind");
  EXPECT_TRUE(c.found);
  EXPECT_EQ(std::vector<bool>({c.factoryProduction, c.trucksToDistributor, c.trucksToWholesaler,
                               c.trucksToRetailer, c.totalCost}),
            std::vector<bool>({false, true, true, true, false}));  // Null reads as shown
  EXPECT_FALSE(readDisplayConfiguration(tables(), "Missing").found);
}

TEST_F(DisplayTest, EachRolesOptionSaysWhichFiguresShow) {
  const DisplayConfiguration c = readDisplayConfiguration(tables(), "Blind");
  EXPECT_TRUE(c.roles[1].found && c.roles[1].recentOrder && c.roles[1].cost);
  // Inventory left empty (Null) reads as its default: shown.
  EXPECT_TRUE(c.roles[2].inventory && c.roles[2].backorder);
  EXPECT_FALSE(c.roles[2].cost);
  EXPECT_EQ(c.roles[3].option, "Unknown");
  EXPECT_FALSE(c.roles[3].found);
}

}  // namespace
}  // namespace quarn::testing
