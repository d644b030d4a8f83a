#include "db/Schema.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quarn {
namespace {

std::vector<std::string> namesAndVersions(const std::vector<ColumnDescription>& columns) {
  std::vector<std::string> out;
  for (const ColumnDescription& c : columns) out.push_back(c.name + "@" + std::to_string(c.since));
  return out;
}

// Stored files and the CSV files labs import rely on this order.
TEST(Schema, PlayerTableKeepsItsColumnsInTheirStoredOrder) {
  const TableDescription* players = nullptr;
  for (const TableDescription& table : currentSchema().tables) {
    if (table.name == "tblPlayer") players = &table;
  }
  ASSERT_NE(players, nullptr);
  EXPECT_EQ(namesAndVersions(players->columns),
            (std::vector<std::string>{"Name@1", "Sterman@1", "Demand@1", "BackOrder@1", "Delta@1",
                                      "IfZero@1", "Alpha@1", "Beta@1", "Epsilon@1", "Theta@1"}));
}

// An upgrade can only append columns: a rule of a later version goes after
// every older column, with its version.
TEST(Schema, PlayerRuleOfALaterVersionAppendsItsColumns) {
  constexpr RuleParameter kWeights[] = {{"Weight", &PlayerStrategy::alpha, 0.5, "", 0, 1}};
  const std::span<const PlayerRuleEntry> today = playerRules();
  std::vector<PlayerRuleEntry> rules(today.begin(), today.end());
  PlayerRuleEntry eighth = rules[1];
  eighth.column = "Eighth";
  eighth.since = 8;
  eighth.parameters = {};
  PlayerRuleEntry seventh = rules[1];
  seventh.column = "Seventh";
  seventh.since = 7;
  seventh.parameters = kWeights;
  rules.insert(rules.begin(), eighth);
  rules.push_back(seventh);

  const std::vector<ColumnDescription> columns = playerColumns(rules);
  const std::vector<std::string> names = namesAndVersions(columns);
  ASSERT_EQ(names.size(), playerColumns(today).size() + 3);
  EXPECT_EQ(names[0], "Name@1");
  EXPECT_EQ(names[1], "Sterman@1");
  EXPECT_EQ(std::vector<std::string>(names.end() - 3, names.end()),
            (std::vector<std::string>{"Seventh@7", "Weight@7", "Eighth@8"}));
  EXPECT_EQ(columns[names.size() - 2].defaultValue, "0.5");
}

// The upgrade adds what came after a database's version up to the schema's.
TEST(Schema, VersionIsAtLeastThatOfEveryTableColumnAndIndex) {
  const Schema& schema = currentSchema();
  for (const TableDescription& table : schema.tables) {
    EXPECT_LE(table.since, schema.version) << table.name;
    for (const ColumnDescription& column : table.columns) {
      EXPECT_LE(column.since, schema.version) << table.name << "." << column.name;
    }
  }
  for (const IndexDescription& index : schema.indexes)
    EXPECT_LE(index.since, schema.version) << index.name;
}

}  // namespace
}  // namespace quarn
