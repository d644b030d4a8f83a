#include "ui/ReportPdf.h"

#include <gtest/gtest.h>

namespace quarn::testing {
namespace {

// Text reads from the left and figures from the right, each column as wide
// as its widest cell, the first column's blanks kept; a missing value is a
// dash.
TEST(ReportPdf, LinesUpEveryColumnOfATable) {
  ReportTable table;
  table.columns = {{"Rank", ColumnAlign::Right},
                   {"Participant", ColumnAlign::Left},
                   {"Cost", ColumnAlign::Right}};
  table.rows = {
      {{{"1"}, {"S1"}, {"200"}}},
      {{{"incomplete", ReportCell::Kind::Muted}, {"S2 & Lee"}, {"", ReportCell::Kind::Missing}}}};
  std::vector<std::string> lines;
  for (const QString& line : pdfTableLines(table)) lines.push_back(line.toStdString());
  EXPECT_EQ(lines, (std::vector<std::string>{"      Rank   Participant   Cost",
                                             "         1   S1             200",
                                             "incomplete   S2 & Lee         \u2013"}));
}

}  // namespace
}  // namespace quarn::testing
