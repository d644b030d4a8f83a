#include "analysis/ReportModel.h"

#include <gtest/gtest.h>

#include "tests/support/Trials.h"

namespace quarn::testing {

namespace {

// `subject`'s complete four-week trial of setting Lab, the participant as
// Retailer.
RecordedTrial played(const std::string& subject, int16_t trial) {
  RecordedTrial t;
  t.subject = subject;
  t.setting = "Lab";
  t.trial = trial;
  t.participantRole = kRetailer;
  t.plannedWeeks = 4;
  t.players = {"Sterman", "Sterman", "Sterman", "Subject"};
  for (int16_t w = 1; w <= 4; ++w) {
    RecordedWeek week;
    week.week = w;
    week.stages[kRetailer].demand = 4 + w;
    for (RecordedStage& s : week.stages) s.order = w;
    t.weeks.push_back(week);
  }
  return t;
}

TEST(ReportModel, FileStemKeepsOnlySafeCharacters) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"P1", "P1"},           {"Ann Lee", "Ann_Lee"}, {"..", "__"},
      {".hidden", "_hidden"}, {"a/b\\c", "a_b_c"},    {"", "_"},
      {"x-1_y.z", "x-1_y.z"}, {"Zoë", "Zo__"}};
  for (const auto& [name, stem] : cases) EXPECT_EQ(fileStem(name), stem) << name;
}

// Two IDs that differ only in characters a file name cannot hold would
// otherwise write one PDF over the other.
TEST(ReportModel, GivesEverySectionAFileStemOfItsOwn) {
  std::vector<RecordedTrial> trials = {played("Ann Lee", 1), played("Ann/Lee", 1),
                                       played("Ann Lee", 2)};
  const ReportModel model = buildReportModel(trials, {"lab.mdb", {}, {}});
  ASSERT_EQ(model.participants.size(), 2u);
  EXPECT_EQ(model.participants[0].stem, "Ann_Lee");
  EXPECT_EQ(model.participants[0].trials.size(), 2u);
  EXPECT_EQ(model.participants[1].stem, "Ann_Lee-2");
}

// A row short of a cell would shift every later cell to the wrong column,
// in the page and the PDFs alike.
TEST(ReportModel, EveryRowOfEveryTableHasACellForEachColumn) {
  RecordedTrial left = played("S2", 1);
  left.weeks.resize(1);  // incomplete: no rank
  const std::vector<RecordedTrial> trials = {played("S1", 1), left};
  ReportSource source{"lab.mdb", {}, {}};
  source.summary.by = {"Predicter", "Delay"};
  source.simulated[{"Lab", 1}].player = "Sterman";
  source.simulated[{"Lab", 1}].runs = 2;
  source.simulated[{"Lab", 1}].costs[kRetailer] = {1, 2};
  const ReportModel model = buildReportModel(trials, source);
  std::vector<const ReportTable*> tables = {&model.summary};
  for (const ReportLeague& league : model.leagues) tables.push_back(&league.table);
  for (const ReportSection& section : model.participants) {
    for (const ReportTrial& shown : section.trials) tables.push_back(&shown.measures);
  }
  ASSERT_EQ(tables.size(), 1u + 1u + 2u);
  for (const ReportTable* table : tables) {
    ASSERT_FALSE(table->rows.empty()) << table->columns.front().header;
    for (const ReportRow& row : table->rows) {
      EXPECT_EQ(row.cells.size(), table->columns.size()) << table->columns.front().header;
    }
  }
}

}  // namespace
}  // namespace quarn::testing
