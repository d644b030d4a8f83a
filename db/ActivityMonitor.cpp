#include "db/ActivityMonitor.h"

#include <algorithm>
#include <map>
#include <utility>

#include "db/DbError.h"
#include "db/StoreSql.h"

namespace quarn {

namespace {

// The latest row of each participant and setting among the recent ones (by
// the index on Date and TimeOfDay), and the participant's own row of that
// week (by the key).
constexpr const char* kLatestWeeks =
    R"(SELECT r."Subject", r."Setting", r."Trial", r."Training", r."Week", r."Date",
              r."TimeOfDay", p."TotalCost", p."Role" AS "ParticipantRole"
       FROM "datRole" AS r
       LEFT JOIN "datRole" AS p ON p."Subject" = r."Subject" AND p."Setting" = r."Setting"
         AND p."Trial" = r."Trial" AND p."Week" = r."Week" AND p."User" IN (6, 8)
       WHERE r.rowid IN (SELECT max(rowid) FROM "datRole"
                         WHERE "Date" >= ? AND ("Date" > ? OR "TimeOfDay" >= ?)
                         GROUP BY "Subject", "Setting"))";

// The orders of each team's latest week: in its latest trial (an
// experiment trial when there is one), the latest week with an order. The
// marks of week 0 count as that trial's week 0: a pause passed before the
// trial, a member beginning a training trial. Trial 0 (the team's training
// over) is read apart.
constexpr const char* kLatestTeamWeeks =
    R"(WITH "kind" AS (
         SELECT "Setting", "Team", min("Training") AS "Training"
         FROM "datTeamOrder" WHERE "Trial" > 0 GROUP BY "Setting", "Team"),
       "trial" AS (
         SELECT o."Setting", o."Team", o."Training", max(o."Trial") AS "Trial"
         FROM "datTeamOrder" AS o
         JOIN "kind" AS k ON o."Setting" = k."Setting" AND o."Team" = k."Team"
           AND o."Training" = k."Training"
         WHERE o."Trial" > 0
         GROUP BY o."Setting", o."Team", o."Training"),
       "week" AS (
         SELECT o."Setting", o."Team", o."Training", o."Trial", max(o."Week") AS "Week"
         FROM "datTeamOrder" AS o
         JOIN "trial" AS t ON o."Setting" = t."Setting" AND o."Team" = t."Team"
           AND o."Training" = t."Training" AND o."Trial" = t."Trial"
         GROUP BY o."Setting", o."Team", o."Training", o."Trial")
       SELECT o."Setting", o."Team", o."Training", o."Trial", o."Week", o."Member", o."Stored"
       FROM "datTeamOrder" AS o
       JOIN "week" AS w ON o."Setting" = w."Setting" AND o."Team" = w."Team"
         AND o."Training" = w."Training" AND o."Trial" = w."Trial" AND o."Week" = w."Week"
       ORDER BY o."Setting", o."Team", o."Member")";

std::string text(const Cell& cell) {
  return cell.isNull() ? std::string() : cell.toText();
}

StoredOrder storedOrder(const Row& row) {
  StoredOrder order{row.cell("Member").toInt16(), std::nullopt};
  if (const Cell stored = row.cell("Stored"); !stored.isNull()) {
    order.stored = static_cast<int64_t>(stored.toDouble());
  }
  return order;
}

}  // namespace

std::vector<LatestWeek> SqlActivityMonitor::latestWeeks(const std::string& date,
                                                        const std::string& timeOfDay) {
  std::vector<LatestWeek> weeks;
  for (const Row& row : m_reads.query(kLatestWeeks, {date, date, timeOfDay})) {
    LatestWeek week;
    week.subject = text(row.cell("Subject"));
    week.setting = text(row.cell("Setting"));
    week.trial = row.cell("Trial").toInt16();
    week.training = row.cell("Training").toBool();
    week.week = row.cell("Week").toInt16();
    week.date = text(row.cell("Date"));
    week.timeOfDay = text(row.cell("TimeOfDay"));
    if (const Cell cost = row.cell("TotalCost"); !cost.isNull()) week.totalCost = cost.toInt32();
    week.role = text(row.cell("ParticipantRole"));
    weeks.push_back(std::move(week));
  }
  return weeks;
}

std::vector<TeamActivity> SqlActivityMonitor::teams() {
  using Key = std::pair<std::string, std::string>;
  std::map<Key, TeamActivity> teams;
  const auto teamOf = [&](const Row& row) -> TeamActivity& {
    const Key key{text(row.cell("Setting")), text(row.cell("Team"))};
    TeamActivity& team = teams[key];
    team.key = {key.first, key.second};
    return team;
  };
  try {
    for (const Row& row : m_reads.query(
             R"(SELECT "Setting", "Team", "Member", "Subject", "Fixed" FROM "datTeamMember")")) {
      teamOf(row).members.push_back({row.cell("Member").toInt16(), text(row.cell("Subject")),
                                     !row.cell("Fixed").isNull() && row.cell("Fixed").toBool()});
    }
    for (const Row& row : m_reads.query(kLatestTeamWeeks)) {
      TeamActivity& team = teamOf(row);
      team.trial = row.cell("Trial").toInt16();
      team.training = row.cell("Training").toBool();
      team.week = row.cell("Week").toInt16();
      team.ordered.push_back(storedOrder(row));
    }
    // A team whose training is over and that has not ordered in the
    // experiment yet stands before its first experiment trial's first week.
    for (const Row& row : m_reads.query(
             R"(SELECT "Setting", "Team", "Member", "Stored" FROM "datTeamOrder"
                WHERE "Training" = 1 AND "Trial" = 0)")) {
      TeamActivity& team = teamOf(row);
      if (team.trial != 0 && !team.training) continue;
      team.trial = 1;
      team.training = false;
      team.week = 0;
      team.ordered = {storedOrder(row)};
    }
    for (const Row& row : m_reads.query(
             R"(SELECT "Setting", "Team", "Trial", "Member", "Role", "Subject", "Player",
                       "FromWeek"
                FROM "datTeam" WHERE "Player" IS NOT NULL)")) {
      TeamActivity& team = teamOf(row);
      team.replaced.push_back(
          {row.cell("Trial").toInt16(), row.cell("Member").toInt16(), text(row.cell("Role")),
           text(row.cell("Subject")), text(row.cell("Player")),
           row.cell("FromWeek").isNull() ? int16_t{1} : row.cell("FromWeek").toInt16()});
    }
  } catch (const DbError& failure) {
    // A file from before the teams: there are none.
    if (failure.kind() == DbErrorKind::ItemNotFound) return {};
    throw;
  }
  std::vector<TeamActivity> found;
  for (auto& [key, team] : teams) {
    std::sort(team.members.begin(), team.members.end(),
              [](const TeamMember& a, const TeamMember& b) { return a.member < b.member; });
    // Only the replacements of the trial the team plays, or of a later
    // one (a member who ordered every week of it), count.
    std::erase_if(team.replaced,
                  [&](const TeamTrialMember& r) { return !team.training && r.trial < team.trial; });
    found.push_back(std::move(team));
  }
  return found;
}

std::vector<PlayingMark> SqlActivityMonitor::playingMarks() {
  try {
    std::vector<PlayingMark> marks;
    // Not the marks' secrets, which a workstation's role may not read.
    for (const Row& row : m_reads.query("SELECT " + markColumnsSql() + R"( FROM "datPlaying")")) {
      marks.push_back(markOf(row));
    }
    return marks;
  } catch (const DbError& failure) {
    // A file from before the marks: nobody is marked.
    if (failure.kind() == DbErrorKind::ItemNotFound) return {};
    throw;
  }
}

}  // namespace quarn
