#include "db/StoreSql.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "db/Schema.h"

namespace quarn {
namespace {

template <class Record>
Record readBack(const RecordColumns<Record>& columns, const Record& record) {
  auto names = std::make_shared<const ColumnNames>(columns.columns());
  return columns.read(Row(names, columns.params(record)));
}

std::vector<std::string> schemaColumns(const std::string& table) {
  std::vector<std::string> names;
  for (const ColumnDescription& column : findTable(currentSchema(), table)->columns) {
    names.push_back(column.name);
  }
  return names;
}

// A week's row with a value of its own in every member.
WeekRow fullWeekRow() {
  WeekRow row;
  row.subject = "P1";
  row.setting = "Lab";
  row.trial = -2;
  row.training = true;
  row.week = 7;
  row.role = "Wholesaler";
  row.participant = true;
  row.predicterNoise = 3;
  row.stage.order = 11;
  row.stage.deltaInventory = -4;
  row.stage.inventory = -9;
  row.stage.delaySlots = {5, 6, 8};
  row.stage.demand = 12;
  row.stage.satisfied = 10;
  row.stage.weeklyCost = 13;
  row.stage.totalCost = 140;
  row.stage.decisionTime = 2345;
  row.date = "2026-12-07";
  row.timeOfDay = "23:10:05";
  return row;
}

// Every column of the recorded tables is written and read back by its
// record: a column the schema gains fails here until its record binds it.
TEST(StoreSql, RecordedTablesBindEveryColumnOfTheSchema) {
  EXPECT_EQ(weekColumns().columns(), schemaColumns("datRole"));
  EXPECT_EQ(trialColumns().columns(), schemaColumns("datTrial"));
  EXPECT_EQ(participantColumns().columns(), schemaColumns("datUser"));
  EXPECT_EQ(teamMemberColumns().columns(), schemaColumns("datTeamMember"));
  EXPECT_EQ(teamOrderColumns().columns(), schemaColumns("datTeamOrder"));
  EXPECT_EQ(teamTrialColumns().columns(), schemaColumns("datTeam"));
}

TEST(StoreSql, WeekRowsReadBackAsWritten) {
  WeekRow teamMember = fullWeekRow();
  teamMember.participant = false;
  teamMember.teamMember = true;
  WeekRow simulated = fullWeekRow();
  simulated.participant = false;
  simulated.predicterNoise.reset();
  simulated.stage.delaySlots = {5};
  for (const WeekRow& row : {fullWeekRow(), teamMember, simulated}) {
    EXPECT_EQ(readBack(weekColumns(), row), row) << row.stage.delaySlots.size();
  }
}

// Each kind of stage has a User value of its own: a week the clock ordered
// for the participant reads back as the participant's (not as another team
// member's, which 7 marks), and as the clock's.
TEST(StoreSql, UserTellsWhoPlayedTheStage) {
  const auto withKind = [](bool participant, bool clockOrdered, bool teamMember) {
    WeekRow row = fullWeekRow();
    row.participant = participant;
    row.clockOrdered = clockOrdered;
    row.teamMember = teamMember;
    return row;
  };
  const struct {
    const char* name;
    WeekRow row;
    int64_t user;
  } cases[] = {{"participant", withKind(true, false, false), 6},
               {"clock", withKind(true, true, false), 8},
               {"team member", withKind(false, false, true), 7},
               {"simulated", withKind(false, false, false), 0}};
  const std::vector<std::string>& columns = weekColumns().columns();
  const size_t user =
      static_cast<size_t>(std::find(columns.begin(), columns.end(), "User") - columns.begin());
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(weekColumns().params(c.row).at(user), CellValue{c.user});
    EXPECT_EQ(readBack(weekColumns(), c.row), c.row);
  }
}

TEST(StoreSql, WeekRowsLeaveTheSlotsBeyondTheDelayNull) {
  WeekRow row = fullWeekRow();
  row.stage.delaySlots = {5, 6};
  const SqlParams values = weekColumns().params(row);
  const std::vector<std::string>& columns = weekColumns().columns();
  const auto valueOf = [&](const char* column) {
    return values.at(
        static_cast<size_t>(std::find(columns.begin(), columns.end(), column) - columns.begin()));
  };
  EXPECT_EQ(valueOf("Delay2"), CellValue{int64_t{6}});
  EXPECT_EQ(valueOf("Delay3"), CellValue{});
  EXPECT_EQ(valueOf("User"), CellValue{int64_t{6}});
}

TEST(StoreSql, TrialAndParticipantRowsReadBackAsWritten) {
  TrialRow trial{"P1",         "Lab",     4,      false,
                 36,           2,         "Fcst", 0.5,
                 1.0,          0.25,      812.5,  {"Sterman", "Subject", "Follower", "Sterman"},
                 "2026-12-07", "23:11:00"};
  EXPECT_EQ(readBack(trialColumns(), trial), trial);
  const ParticipantRow participant{"P1", "Lab", 31, "f", "3", "Biology"};
  const ParticipantRow read = readBack(participantColumns(), participant);
  EXPECT_EQ(read.subject, "P1");
  EXPECT_EQ(read.age, participant.age);
  EXPECT_EQ(read.major, "Biology");
  EXPECT_FALSE(readBack(participantColumns(), ParticipantRow{"P2", "Lab", {}, "", "", ""}).age);
}

// The team rows keep their team apart from the record, and every member of
// the record (but a member's `here`, which is no column) comes back.
TEST(StoreSql, TeamRowsReadBackAsWritten) {
  const TeamKey green{"Lab", "Green"};
  for (const TeamMember& member : {TeamMember{3, "P07", true}, TeamMember{1, "p1", false}}) {
    const TeamMemberRow read = readBack(teamMemberColumns(), TeamMemberRow{green, member});
    EXPECT_EQ(read.key.setting, "Lab");
    EXPECT_EQ(read.key.team, "Green");
    EXPECT_EQ(read.member, member);
  }
  for (const TypedOrder& order :
       {TypedOrder{2, false, 17, 4, 12, "P4", 2345}, TypedOrder{0, true, 0, 1, 3, "P1", -1}}) {
    // Stored is dated in seconds beyond 2038 too.
    const TeamOrderRow written{green, order, int64_t{1} << 33};
    const TeamOrderRow read = readBack(teamOrderColumns(), written);
    EXPECT_EQ(read.key.team, "Green");
    EXPECT_EQ(read.order, order);
    EXPECT_EQ(read.stored, written.stored);
  }
  const TeamTrialMember replaced{3, 2, "Wholesaler", "P2", "Sterman", 14};
  const TeamTrialRow read = readBack(teamTrialColumns(), TeamTrialRow{green, replaced});
  EXPECT_EQ(read.key.setting, "Lab");
  EXPECT_EQ(read.member, replaced);
}

// A workstation reads every column of its marks but the secret, and the
// activity columns are datPlaying's after the mark's own.
TEST(StoreSql, MarkColumnsAreThoseOfTheSchemaButTheSecret) {
  std::string expected;
  for (const std::string& column : schemaColumns("datPlaying")) {
    if (column != "Token") expected += (expected.empty() ? "\"" : ", \"") + column + "\"";
  }
  EXPECT_EQ(markColumnsSql(), expected);
}

TEST(StoreSql, MarksReadBackAsWrittenApartFromTheirSecret) {
  const PlayingMark mark{"P1",    "Lab", {"lab-3", 4711},
                         100,     160,   {PlayState::Choosing, 150, 2, 7, 36, "Retailer", 412, ""},
                         "secret"};
  auto names = std::make_shared<const ColumnNames>(schemaColumns("datPlaying"));
  const PlayingMark read = markOf(Row(names, markParams(mark)));
  EXPECT_EQ(read.subject, mark.subject);
  EXPECT_EQ(read.setting, mark.setting);
  EXPECT_EQ(read.at, mark.at);
  EXPECT_EQ(read.since, mark.since);
  EXPECT_EQ(read.lastWeek, mark.lastWeek);
  EXPECT_EQ(read.activity, mark.activity);
  EXPECT_EQ(read.token, "");
}

}  // namespace
}  // namespace quarn
