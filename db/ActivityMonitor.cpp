#include "db/ActivityMonitor.h"

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
         AND p."Trial" = r."Trial" AND p."Week" = r."Week" AND p."User" = 6
       WHERE r.rowid IN (SELECT max(rowid) FROM "datRole"
                         WHERE "Date" >= ? AND ("Date" > ? OR "TimeOfDay" >= ?)
                         GROUP BY "Subject", "Setting"))";

std::string text(const Cell& cell) {
  return cell.isNull() ? std::string() : cell.toText();
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
