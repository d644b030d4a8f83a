#include "db/ColumnReference.h"

#include <gtest/gtest.h>

#include "base/Errors.h"
#include "db/Schema.h"

namespace quarn {
namespace {

// A column added to the schema without its meaning (or a meaning left
// behind by a column that went) fails here, and so the docs cannot fall
// behind the program.
TEST(ColumnReference, DescribesEveryTableAndColumnOfTheSchema) {
  EXPECT_EQ(undescribedColumns(), std::vector<std::string>{});
  EXPECT_EQ(notesWithoutColumn(), std::vector<std::string>{});
}

// Required means no default: an empty cell of it is a fault. A column with
// a default is optional.
TEST(ColumnReference, RequiredColumnsAreThoseWithoutADefault) {
  for (const ColumnNote& note : columnNotes()) {
    const ColumnDescription* described = findColumn(currentSchema(), note.table, note.column);
    ASSERT_NE(described, nullptr) << note.table << "." << note.column;
    if (note.need == ColumnNeed::Required) {
      EXPECT_FALSE(described->defaultValue) << note.table << "." << note.column;
    }
    if (described->defaultValue && std::string(note.table).rfind("tbl", 0) == 0) {
      EXPECT_EQ(note.need, ColumnNeed::Optional) << note.table << "." << note.column;
    }
  }
}

TEST(ColumnReference, TableListsEachColumnWithTypeDefaultNeedAndMeaning) {
  const std::string block = columnReference("tblblock");
  for (const char* line :
       {"| `Delay` | integer |  | required | shipping delay in weeks, 1 to 3",
        "| `Input` | text | empty | optional | a demand file in `Input/`",
        "| `DatabaseOutput` | integer | 1 | optional |",
        "| `CostTransit` | real |  | required | cost per unit in transit per week |"}) {
    EXPECT_NE(block.find(line), std::string::npos) << line << "\n" << block;
  }
  EXPECT_EQ(block.find("## tblPlayer"), std::string::npos);
  EXPECT_NE(columnReference().find("## tblPlayer"), std::string::npos);
  EXPECT_THROW(columnReference("tblNothing"), QuarnError);
}

// The text file has no header: the reference names its fields in order.
TEST(ColumnReference, TextFileFieldsAreListedInOrder) {
  const std::string text = columnReference(kTextFileName);
  for (const char* line : {"| 1 | User ID |", "| 9 | Forecast noise |", "| 1 | Role |",
                           "| 8 | Delay slots |", "| 10 | TotalCost |"}) {
    EXPECT_NE(text.find(line), std::string::npos) << line << "\n" << text;
  }
  EXPECT_LT(text.find("| 9 | Forecast noise |"), text.find("| 1 | Role |"));
}

}  // namespace
}  // namespace quarn
