#include "db/TableWriter.h"

#include <gtest/gtest.h>

#include "db/DbError.h"
#include "db/sqlcipher/SqlCipherTables.h"
#include "tests/support/TestDatabase.h"

namespace quarn {
namespace {

using testing::errorOf;
using testing::TestDatabase;

// Numbers from text and doubles into integer columns are converted as a
// typed field would; what is no number is refused.
TEST(TableWriter, ConvertsValuesToWhatTheirColumnsStore) {
  const ColumnInfo integer{"Week", ColumnAffinity::Integer};
  const ColumnInfo real{"Alpha", ColumnAffinity::Real};
  const ColumnInfo text{"Role", ColumnAffinity::Text};
  const struct {
    ColumnInfo column;
    CellValue given;
    CellValue stored;
  } cases[] = {
      {integer, std::string(" 07 "), int64_t{7}},   {integer, 2.5, int64_t{2}},
      {integer, std::string(""), std::monostate{}}, {real, std::string("1e-3"), 0.001},
      {text, int64_t{12}, std::string("12")},       {text, 0.25, std::string("0.25")},
  };
  for (const auto& k : cases) EXPECT_EQ(convertForColumn(k.column, k.given), k.stored);
}

TEST(TableWriter, RefusesTextThatIsNoNumberOfItsColumn) {
  const std::pair<ColumnInfo, std::string> cases[] = {
      {{"IfZero", ColumnAffinity::Integer}, "IfZero: '0x2' is not a number"},
      {{"IfZero", ColumnAffinity::Integer}, "IfZero: '2.5' is not a whole number"},
      {{"IfZero", ColumnAffinity::Integer}, "IfZero: '99999999999999999999' is out of range"},
      {{"Alpha", ColumnAffinity::Real}, "Alpha: '1e999' is out of range"},
  };
  for (const auto& [column, complaint] : cases) {
    const std::string given = complaint.substr(complaint.find('\'') + 1,
                                               complaint.rfind('\'') - complaint.find('\'') - 1);
    try {
      convertForColumn(column, given);
      ADD_FAILURE() << given;
    } catch (const QuarnError& e) {
      EXPECT_EQ(e.number(), kErrDataTypeConversion);
      EXPECT_EQ(e.description(), "Data type conversion error (" + complaint + ")");
    }
  }
}

TEST(TableWriter, UnknownColumnIsItemNotFound) {
  TestDatabase db;
  SqlCipherTables tables(db.path());
  const std::unique_ptr<TableTransaction> write = tables.beginWrite();
  TableWriter writer(*write, "datRole", tables.columns("datRole"));
  EXPECT_EQ(errorOf([&] { writer.insert({{"Delay4", int64_t{1}}}); }), kErrItemNotFound);
}

}  // namespace
}  // namespace quarn
