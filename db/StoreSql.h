#pragma once

// The SQL that the stores of both engines run alike, and the parameters each
// row binds to it. Names stand in double quotes and values are `?`
// parameters; each engine turns the text into its own dialect.

#include <optional>
#include <string>
#include <vector>

#include "db/ParticipantStore.h"
#include "db/QueryRunner.h"
#include "db/RecordColumns.h"
#include "db/ResultStore.h"
#include "db/TeamRules.h"
#include "db/TeamStore.h"

namespace quarn {

// The recorded tables' rows: each record's members bound to the columns of
// its table (datRole, datTrial, datUser), and the INSERT of every column of
// the table, in the schema's order.
const RecordColumns<WeekRow>& weekColumns();
const RecordColumns<TrialRow>& trialColumns();
const RecordColumns<ParticipantRow>& participantColumns();
std::string insertSql(const std::string& table, const std::vector<std::string>& columns);
// A SELECT that finds the row of `table` whose `key` columns equal its
// parameters, in that order (a column "Found" of 1).
std::string keyLookupSql(const std::string& table, const std::vector<std::string>& key);

// The team tables' rows (datTeamMember, datTeamOrder, datTeam): a record of
// the team store with the team it belongs to, bound like the others.
struct TeamMemberRow {
  TeamKey key;
  TeamMember member;
};
struct TeamOrderRow {
  TeamKey key;
  TypedOrder order;
  int64_t stored = 0;  // when the server stored it, seconds since 1970
};
struct TeamTrialRow {
  TeamKey key;
  TeamTrialMember member;
};
const RecordColumns<TeamMemberRow>& teamMemberColumns();
const RecordColumns<TeamOrderRow>& teamOrderColumns();
const RecordColumns<TeamTrialRow>& teamTrialColumns();
// The columns of a table, quoted and listed, for a SELECT.
std::string columnListSql(const std::vector<std::string>& columns);
// "SELECT <the record's columns> FROM <its table> ", for a WHERE to follow.
template <class Record>
std::string selectedColumns(const RecordColumns<Record>& columns) {
  return "SELECT " + columnListSql(columns.columns()) + " FROM \"" + columns.table() + "\" ";
}
// A datTeamMember row read back; a member not fixed by the moderator is
// here, having joined.
TeamMemberRow memberRowOf(const Row& row);
// The members of every team of a setting, read with kSelectSettingMembers
// (the parameter is the setting).
std::vector<SettingMember> settingMembersOf(const Rows& rows);
std::string selectSettingMembersSql();

// The team's member numbers that no student has and a simulated player
// plays from the start ("Member", "Player"); the parameters are the setting
// and the team, twice.
inline constexpr const char* kSelectOpenMembers =
    R"(SELECT "Member", min("Player") AS "Player" FROM "datTeam"
       WHERE "Setting" = ? AND "Team" = ? AND "Player" IS NOT NULL AND "FromWeek" = 1
             AND "Member" NOT IN (SELECT "Member" FROM "datTeamMember"
                                  WHERE "Setting" = ? AND "Team" = ?)
       GROUP BY "Member" ORDER BY "Member")";
// A datTeam row of an open member: Subject stays empty (Null).
const std::vector<std::string>& openMemberColumns();

const char* insertWeekRowSql();
SqlParams weekRowParams(const WeekRow& row);
const char* insertTrialRowSql();
SqlParams trialRowParams(const TrialRow& row);
const char* insertParticipantRowSql();
SqlParams participantRowParams(const ParticipantRow& row);

// The workstation marks (datPlaying): who plays where, and what the
// participant does there (the activity columns, for the live view).
inline constexpr const char* kSelectMark = R"(SELECT * FROM "datPlaying" WHERE "Subject" = ?)";
inline constexpr const char* kDeleteMarkOfSubject =
    R"(DELETE FROM "datPlaying" WHERE "Subject" = ?)";
// What the participant does (PlayActivity), one binding a column: the
// activity columns of datPlaying, in the order they are written.
const std::vector<ColumnBinding<PlayActivity>>& activityColumns();
// The columns a workstation may read: all but the mark's secret (Token).
std::string markColumnsSql();
std::string insertMarkSql();
SqlParams markParams(const PlayingMark& mark);
// What the participant does, as activityColumns() list it.
void addActivity(SqlParams& params, const PlayActivity& activity);
std::string touchMarkSql();
SqlParams touchParams(const PlayingMark& mark);
inline constexpr const char* kDeleteMark =
    R"(DELETE FROM "datPlaying" WHERE "Subject" = ? AND "Host" = ? AND "Process" = ?)";
SqlParams markKeyParams(const PlayingMark& mark);
// A mark as kSelectMark reads it.
PlayingMark markOf(const Row& row);

// The highest and the lowest Trial the participant has recorded in the
// setting (datRole), through `reads`.
std::optional<int16_t> highestTrial(QueryRunner& reads, const std::string& subject,
                                    const std::string& setting);
std::optional<int16_t> lowestTrial(QueryRunner& reads, const std::string& subject,
                                   const std::string& setting);
// Whether the participant's datTrial row of one trial of the setting is
// stored.
bool trialRecorded(QueryRunner& reads, const std::string& subject, const std::string& setting,
                   int16_t trial);
// The highest Week the participant has recorded in one trial of the setting.
std::optional<int16_t> highestWeek(QueryRunner& reads, const std::string& subject,
                                   const std::string& setting, int16_t trial);

// The recorded experiment trials (see ResultStore), through `reads`.
std::vector<RecordedSession> recordedSessions(QueryRunner& reads, const std::string& setting,
                                              const std::string& subject);
std::vector<RecordedSession> trainingSessions(QueryRunner& reads, const std::string& setting,
                                              const std::string& subject);
RecordedRows recordedRows(QueryRunner& reads, const RecordedSession& session);
// The keys of the result rows of a setting (see ResultStore), through `reads`.
RecordKeys recordKeys(QueryRunner& reads, const std::string& setting, const std::string& subject);

}  // namespace quarn
