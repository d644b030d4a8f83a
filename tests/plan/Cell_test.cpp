#include "plan/Cell.h"

#include <gtest/gtest.h>

#include <cmath>

#include "base/Errors.h"
#include "tests/support/TestDatabase.h"

namespace quarn {
namespace {

using testing::errorOf;

TEST(Cell, IntegerReadsRoundHalfToEvenAndRefuseWhatDoesNotFit) {
  EXPECT_EQ(Cell("a", 2.5).toInt16(), 2);
  EXPECT_EQ(Cell("a", std::string(" 3.5 ")).toInt32(), 4);
  EXPECT_THROW(Cell("a", int64_t{40000}).toInt16(), OverflowError);
}

TEST(Cell, NullIsAnInvalidUseButFalseAsATruthValue) {
  const Cell null("a", std::monostate{});
  EXPECT_EQ(errorOf([&] { null.toText(); }), kErrInvalidUseOfNull);
  EXPECT_EQ(errorOf([&] { null.toInt16(); }), kErrInvalidUseOfNull);
  EXPECT_FALSE(null.toBool());
}

TEST(Cell, TruthValuesReadWordsAndNumbers) {
  const std::pair<CellValue, bool> cases[] = {
      {int64_t{-1}, true},        {0.0, false},
      {std::string("Yes"), true}, {std::string("off"), false},
      {std::string(""), false},   {std::string("2"), true}};
  for (const auto& [value, truth] : cases) EXPECT_EQ(Cell("a", value).toBool(), truth);
}

TEST(Row, FindsColumnsInAnyLetterCaseAndRefusesUnknownOnes) {
  const auto columns =
      std::make_shared<const ColumnNames>(std::vector<std::string>{"Name", "name"});
  const Row row(columns, {std::string("first"), std::string("second")});
  EXPECT_EQ(row.cell("NAME").toText(), "first") << "the first of two equal names wins";
  EXPECT_EQ(errorOf([&] { row.cell("Colour"); }), kErrItemNotFound);
}

}  // namespace
}  // namespace quarn
