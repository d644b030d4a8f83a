#include "db/RecordColumns.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>

#include "db/Schema.h"

namespace quarn {
namespace {

// A record of datTrial's key and one more column, to bind in any order.
struct Partial {
  std::string subject;
  std::string setting;
  int16_t trial = 0;
  bool training = false;
};

std::vector<std::string> schemaColumns(const std::string& table) {
  std::vector<std::string> names;
  for (const ColumnDescription& column : findTable(currentSchema(), table)->columns) {
    names.push_back(column.name);
  }
  return names;
}

// Binds every column of datTrial: the four of Partial, the rest to nothing.
std::vector<ColumnBinding<Partial>> datTrialBindings() {
  std::vector<ColumnBinding<Partial>> bindings = {
      wholeColumn("Trial", &Partial::trial),
      textColumn("Setting", &Partial::setting),
      truthColumn("Training", &Partial::training),
      textColumn("Subject", &Partial::subject),
  };
  for (const std::string& name : schemaColumns("datTrial")) {
    if (name == "Subject" || name == "Setting" || name == "Trial" || name == "Training") continue;
    bindings.push_back(
        {name, [](const Partial&) { return CellValue{}; }, [](Partial&, const Cell&) {}});
  }
  return bindings;
}

TEST(RecordColumns, WritesInTheSchemasOrderWhateverTheBindingsOrder) {
  const RecordColumns<Partial> columns("datTrial", datTrialBindings());
  EXPECT_EQ(columns.columns(), schemaColumns("datTrial"));
  const SqlParams values = columns.params({"P1", "Lab", 3, true});
  EXPECT_EQ(values.at(0), CellValue{"P1"});
  EXPECT_EQ(values.at(1), CellValue{"Lab"});
  EXPECT_EQ(values.at(2), CellValue{int64_t{3}});
  EXPECT_EQ(values.at(3), CellValue{int64_t{1}});
}

TEST(RecordColumns, ReadsByNameAndTakesAMissingColumnAsNull) {
  const RecordColumns<Partial> columns("datTrial", datTrialBindings());
  auto names = std::make_shared<const ColumnNames>(std::vector<std::string>{"trial", "Subject"});
  const Partial read = columns.read(Row(names, {int64_t{4}, std::string("P2")}));
  EXPECT_EQ(read.subject, "P2");
  EXPECT_EQ(read.trial, 4);
  EXPECT_EQ(read.setting, "");
  EXPECT_FALSE(read.training);
}

TEST(RecordColumns, RefusesBindingsThatDoNotMatchTheSchema) {
  std::vector<ColumnBinding<Partial>> missing = datTrialBindings();
  missing.erase(missing.begin());  // Trial
  std::vector<ColumnBinding<Partial>> extra = datTrialBindings();
  extra.push_back(textColumn("Nickname", &Partial::subject));
  const struct {
    std::vector<ColumnBinding<Partial>> bindings;
    const char* named;
  } cases[] = {{missing, "datTrial.Trial"}, {extra, "datTrial.Nickname"}};
  for (const auto& c : cases) {
    try {
      RecordColumns<Partial>("datTrial", c.bindings);
      ADD_FAILURE() << "accepted without " << c.named;
    } catch (const std::logic_error& refusal) {
      EXPECT_NE(std::string(refusal.what()).find(c.named), std::string::npos) << refusal.what();
    }
  }
}

// The places of a key's values follow the table's columns by name: a key
// column after a column that is not part of the key (datRole's Training)
// takes its own place, not the next one.
TEST(RecordColumns, KeyPlacesAreFoundByNameAmongTheSchemasColumns) {
  const std::vector<std::string> columns = schemaColumns("datRole");
  const auto key = keyPlaces("datRole");
  ASSERT_EQ(key.size(), findTable(currentSchema(), "datRole")->primaryKey.size());
  for (const auto& [name, place] : key) EXPECT_EQ(columns.at(place), name);
  EXPECT_EQ(key.at(3), (std::pair<std::string, size_t>{"Week", 4}));
}

}  // namespace
}  // namespace quarn
