#include "db/StoreSql.h"

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <tuple>

#include "base/Roles.h"
#include "base/Text.h"

namespace quarn {

namespace {

constexpr int64_t kParticipantUser = 6;
constexpr int64_t kTeamMemberUser = 7;
constexpr int64_t kClockOrderedUser = 8;

std::string textOrEmpty(const Row& row, const char* column) {
  const Cell cell = row.cell(column);
  return cell.isNull() ? std::string() : cell.toText();
}

int64_t wholeOrZero(const Row& row, const char* column) {
  const Cell cell = row.cell(column);
  const auto* value = std::get_if<int64_t>(&cell.value());
  return value ? *value : 0;
}

std::optional<int16_t> recordedTrial(QueryRunner& reads, const std::string& sql,
                                     const std::string& subject, const std::string& setting) {
  const Rows rows = reads.query(sql, {subject, setting});
  const Cell trial = rows.front().cell("Trial");
  if (trial.isNull()) return std::nullopt;
  return trial.toInt16();
}

constexpr const char* kExperimentRows =
    R"( WHERE "Training" = 0 AND "Subject" = ? AND "Setting" = ?)";

}  // namespace

namespace {

// User: who plays the stage.
ColumnBinding<WeekRow> userColumn() {
  return {"User",
          [](const WeekRow& r) {
            if (r.participant)
              return CellValue{r.clockOrdered ? kClockOrderedUser : kParticipantUser};
            return CellValue{r.teamMember ? kTeamMemberUser : int64_t{0}};
          },
          [](WeekRow& r, const Cell& cell) {
            const int32_t user = cell.isNull() ? 0 : cell.toInt32();
            r.participant = user == kParticipantUser || user == kClockOrderedUser;
            r.clockOrdered = user == kClockOrderedUser;
            r.teamMember = user == kTeamMemberUser;
          }};
}

// PNoise: only in a trial with a predicter, else Null.
ColumnBinding<WeekRow> predicterNoiseColumn() {
  return {"PNoise",
          [](const WeekRow& r) {
            return r.predicterNoise ? CellValue{int64_t{*r.predicterNoise}} : CellValue{};
          },
          [](WeekRow& r, const Cell& cell) {
            if (!cell.isNull()) r.predicterNoise = cell.toInt32();
          }};
}

// A figure of the stage's week (kStageFigures).
ColumnBinding<WeekRow> figureColumn(const StageFigure& figure) {
  const auto member = figure.member;
  return {figure.column, [member](const WeekRow& r) { return CellValue{int64_t{r.stage.*member}}; },
          [member](WeekRow& r, const Cell& cell) {
            r.stage.*member = cell.isNull() ? 0 : cell.toInt32();
          }};
}

// Delay1 to Delay3: the slots beyond the trial's delay stay Null (not
// recorded), and the slots read end at the first Null one.
ColumnBinding<WeekRow> delayColumn(size_t slot) {
  return {"Delay" + std::to_string(slot + 1),
          [slot](const WeekRow& r) {
            const std::vector<int32_t>& slots = r.stage.delaySlots;
            return slot < slots.size() ? CellValue{int64_t{slots[slot]}} : CellValue{};
          },
          [slot](WeekRow& r, const Cell& cell) {
            std::vector<int32_t>& slots = r.stage.delaySlots;
            if (!cell.isNull() && slots.size() == slot) slots.push_back(cell.toInt32());
          }};
}

// Factory to Retailer: who played each role.
ColumnBinding<TrialRow> playerColumn(int role) {
  const auto r = static_cast<size_t>(role);
  return {roleColumn(role), [r](const TrialRow& row) { return CellValue{row.players[r]}; },
          [r](TrialRow& row, const Cell& cell) {
            row.players[r] = cell.isNull() ? std::string() : cell.toText();
          }};
}

ColumnBinding<ParticipantRow> ageColumn() {
  return {"Age", [](const ParticipantRow& r) { return r.age ? CellValue{*r.age} : CellValue{}; },
          [](ParticipantRow& r, const Cell& cell) {
            if (!cell.isNull()) r.age = cell.toInt32();
          }};
}

RecordColumns<WeekRow> describeWeekColumns() {
  std::vector<ColumnBinding<WeekRow>> columns = {
      textColumn("Subject", &WeekRow::subject),
      textColumn("Setting", &WeekRow::setting),
      wholeColumn("Trial", &WeekRow::trial),
      truthColumn("Training", &WeekRow::training),
      wholeColumn("Week", &WeekRow::week),
      textColumn("Role", &WeekRow::role),
      userColumn(),
      predicterNoiseColumn(),
      textColumn("Date", &WeekRow::date),
      textColumn("TimeOfDay", &WeekRow::timeOfDay),
  };
  for (const StageFigure& figure : kStageFigures) columns.push_back(figureColumn(figure));
  for (size_t slot = 0; slot < kDelaySlotColumns; ++slot) columns.push_back(delayColumn(slot));
  return {"datRole", std::move(columns)};
}

RecordColumns<TrialRow> describeTrialColumns() {
  std::vector<ColumnBinding<TrialRow>> columns = {
      textColumn("Subject", &TrialRow::subject),
      textColumn("Setting", &TrialRow::setting),
      wholeColumn("Trial", &TrialRow::trial),
      truthColumn("Training", &TrialRow::training),
      wholeColumn("Weeks", &TrialRow::weeks),
      wholeColumn("Delay", &TrialRow::delay),
      textColumn("Predicter", &TrialRow::predicter),
      realColumn("InventoryCost", &TrialRow::inventoryCostRate),
      realColumn("BackCost", &TrialRow::backorderCostRate),
      realColumn("TransitCost", &TrialRow::transitCostRate),
      realColumn("EndCost", &TrialRow::endCost),
      textColumn("Date", &TrialRow::date),
      textColumn("Time", &TrialRow::time),
  };
  for (int role = 0; role < kRoleCount; ++role) columns.push_back(playerColumn(role));
  return {"datTrial", std::move(columns)};
}

RecordColumns<ParticipantRow> describeParticipantColumns() {
  return {"datUser",
          {textColumn("Subject", &ParticipantRow::subject),
           textColumn("Setting", &ParticipantRow::setting), ageColumn(),
           textColumn("Gender", &ParticipantRow::gender),
           textColumn("SchoolYear", &ParticipantRow::schoolYear),
           textColumn("Major", &ParticipantRow::major)}};
}

// Setting and Team: the team a row of a team table belongs to.
template <class Record>
std::vector<ColumnBinding<Record>> teamKeyColumns() {
  return {partColumn(&Record::key, textColumn("Setting", &TeamKey::setting)),
          partColumn(&Record::key, textColumn("Team", &TeamKey::team))};
}

// Stored: seconds since 1970, beyond 32 bits in time.
ColumnBinding<TeamOrderRow> storedColumn() {
  return {"Stored", [](const TeamOrderRow& r) { return CellValue{r.stored}; },
          [](TeamOrderRow& r, const Cell& cell) {
            const auto* value = std::get_if<int64_t>(&cell.value());
            r.stored = value ? *value : 0;
          }};
}

RecordColumns<TeamMemberRow> describeTeamMemberColumns() {
  std::vector<ColumnBinding<TeamMemberRow>> columns = teamKeyColumns<TeamMemberRow>();
  const auto member = &TeamMemberRow::member;
  columns.push_back(partColumn(member, wholeColumn("Member", &TeamMember::member)));
  columns.push_back(partColumn(member, textColumn("Subject", &TeamMember::subject)));
  columns.push_back(partColumn(member, truthColumn("Fixed", &TeamMember::fixed)));
  return {"datTeamMember", std::move(columns)};
}

RecordColumns<TeamOrderRow> describeTeamOrderColumns() {
  std::vector<ColumnBinding<TeamOrderRow>> columns = teamKeyColumns<TeamOrderRow>();
  const auto order = &TeamOrderRow::order;
  columns.push_back(partColumn(order, wholeColumn("Trial", &TypedOrder::trial)));
  columns.push_back(partColumn(order, truthColumn("Training", &TypedOrder::training)));
  columns.push_back(partColumn(order, wholeColumn("Week", &TypedOrder::week)));
  columns.push_back(partColumn(order, wholeColumn("Member", &TypedOrder::member)));
  columns.push_back(partColumn(order, wholeColumn("Order", &TypedOrder::order)));
  columns.push_back(partColumn(order, textColumn("Subject", &TypedOrder::subject)));
  columns.push_back(
      partColumn(order, wholeColumn("TransactionTime", &TypedOrder::transactionTime)));
  columns.push_back(storedColumn());
  columns.push_back(partColumn(order, truthColumn("Clock", &TypedOrder::clock)));
  return {"datTeamOrder", std::move(columns)};
}

RecordColumns<TeamTrialRow> describeTeamTrialColumns() {
  std::vector<ColumnBinding<TeamTrialRow>> columns = teamKeyColumns<TeamTrialRow>();
  const auto member = &TeamTrialRow::member;
  columns.push_back(partColumn(member, wholeColumn("Trial", &TeamTrialMember::trial)));
  columns.push_back(partColumn(member, wholeColumn("Member", &TeamTrialMember::member)));
  columns.push_back(partColumn(member, textColumn("Role", &TeamTrialMember::role)));
  columns.push_back(partColumn(member, textColumn("Subject", &TeamTrialMember::subject)));
  columns.push_back(partColumn(member, textColumn("Player", &TeamTrialMember::player)));
  columns.push_back(partColumn(member, wholeColumn("FromWeek", &TeamTrialMember::fromWeek)));
  return {"datTeam", std::move(columns)};
}

}  // namespace

const RecordColumns<TeamMemberRow>& teamMemberColumns() {
  static const RecordColumns<TeamMemberRow> columns = describeTeamMemberColumns();
  return columns;
}

const RecordColumns<TeamOrderRow>& teamOrderColumns() {
  static const RecordColumns<TeamOrderRow> columns = describeTeamOrderColumns();
  return columns;
}

const RecordColumns<TeamTrialRow>& teamTrialColumns() {
  static const RecordColumns<TeamTrialRow> columns = describeTeamTrialColumns();
  return columns;
}

const std::vector<std::string>& openMemberColumns() {
  static const std::vector<std::string> columns = [] {
    std::vector<std::string> all = teamTrialColumns().columns();
    std::erase(all, "Subject");
    return all;
  }();
  return columns;
}

std::string columnListSql(const std::vector<std::string>& columns) {
  std::vector<std::string> names;
  for (const std::string& column : columns) names.push_back("\"" + column + "\"");
  return joinText(names, ", ");
}

const RecordColumns<WeekRow>& weekColumns() {
  static const RecordColumns<WeekRow> columns = describeWeekColumns();
  return columns;
}

const RecordColumns<TrialRow>& trialColumns() {
  static const RecordColumns<TrialRow> columns = describeTrialColumns();
  return columns;
}

const RecordColumns<ParticipantRow>& participantColumns() {
  static const RecordColumns<ParticipantRow> columns = describeParticipantColumns();
  return columns;
}

std::string insertSql(const std::string& table, const std::vector<std::string>& columns) {
  const std::vector<std::string> values(columns.size(), "?");
  return "INSERT INTO \"" + table + "\" (" + columnListSql(columns) + ") VALUES (" +
         joinText(values, ", ") + ")";
}

std::string keyLookupSql(const std::string& table, const std::vector<std::string>& key) {
  std::vector<std::string> conditions;
  for (const std::string& column : key) conditions.push_back("\"" + column + "\" = ?");
  return "SELECT 1 AS \"Found\" FROM \"" + table + "\" WHERE " + joinText(conditions, " AND ");
}

const char* insertWeekRowSql() {
  static const std::string sql = insertSql(weekColumns().table(), weekColumns().columns());
  return sql.c_str();
}

SqlParams weekRowParams(const WeekRow& row) {
  return weekColumns().params(row);
}

const char* insertTrialRowSql() {
  static const std::string sql = insertSql(trialColumns().table(), trialColumns().columns());
  return sql.c_str();
}

SqlParams trialRowParams(const TrialRow& row) {
  return trialColumns().params(row);
}

const char* insertParticipantRowSql() {
  static const std::string sql =
      insertSql(participantColumns().table(), participantColumns().columns());
  return sql.c_str();
}

SqlParams participantRowParams(const ParticipantRow& row) {
  return participantColumns().params(row);
}

namespace {

// A whole number of a mark's column: written by an application of any
// version, so a text number reads too.
std::optional<int64_t> int64Of(const Cell& cell) {
  if (cell.isNull()) return std::nullopt;
  const auto* value = std::get_if<int64_t>(&cell.value());
  if (value) return *value;
  return int64_t{cell.toInt32()};
}

std::vector<ColumnBinding<PlayActivity>> describeActivityColumns() {
  return {
      {"State",
       [](const PlayActivity& a) {
         return a.state ? CellValue{playStateWord(*a.state)} : CellValue{};
       },
       [](PlayActivity& a, const Cell& cell) {
         if (cell.isNull()) return;
         const std::string word = cell.toText();
         a.state = playStateOf(word);
         if (!a.state && !word.empty()) a.unknownState = word;
       }},
      {"StateSince", [](const PlayActivity& a) { return CellValue{a.stateSince}; },
       [](PlayActivity& a, const Cell& cell) { a.stateSince = int64Of(cell).value_or(0); }},
      wholeColumn("Trial", &PlayActivity::trial),
      wholeColumn("Week", &PlayActivity::week),
      wholeColumn("Weeks", &PlayActivity::weeks),
      textColumn("Role", &PlayActivity::role),
      {"Cost", [](const PlayActivity& a) { return a.cost ? CellValue{*a.cost} : CellValue{}; },
       [](PlayActivity& a, const Cell& cell) { a.cost = int64Of(cell); }},
  };
}

PlayActivity activityOf(const Row& row) {
  PlayActivity activity;
  for (const ColumnBinding<PlayActivity>& column : activityColumns()) {
    if (row.columns().find(column.column)) column.read(activity, row.cell(column.column));
  }
  return activity;
}

}  // namespace

const std::vector<ColumnBinding<PlayActivity>>& activityColumns() {
  static const std::vector<ColumnBinding<PlayActivity>> columns = describeActivityColumns();
  return columns;
}

void addActivity(SqlParams& params, const PlayActivity& activity) {
  for (const ColumnBinding<PlayActivity>& column : activityColumns()) {
    params.push_back(column.write(activity));
  }
}

std::string markColumnsSql() {
  std::string columns = R"("Subject", "Setting", "Host", "Process", "Since", "LastWeek")";
  for (const auto& column : activityColumns()) columns += ", \"" + column.column + "\"";
  return columns;
}

std::string insertMarkSql() {
  std::string values = "?, ?, ?, ?, ?, ?, ?";
  for (size_t c = 0; c < activityColumns().size(); ++c) values += ", ?";
  return R"(INSERT INTO "datPlaying" ()" + markColumnsSql() + R"(, "Token") VALUES ()" + values +
         ")";
}

SqlParams markParams(const PlayingMark& mark) {
  SqlParams params{mark.subject,    mark.setting, mark.at.host,
                   mark.at.process, mark.since,   mark.lastWeek};
  addActivity(params, mark.activity);
  params.emplace_back(mark.token);
  return params;
}

std::string touchMarkSql() {
  std::string set = R"("LastWeek" = ?)";
  for (const auto& column : activityColumns()) set += ", \"" + column.column + "\" = ?";
  return R"(UPDATE "datPlaying" SET )" + set +
         R"( WHERE "Subject" = ? AND "Host" = ? AND "Process" = ?)";
}

SqlParams touchParams(const PlayingMark& mark) {
  SqlParams params{mark.lastWeek};
  addActivity(params, mark.activity);
  params.emplace_back(mark.subject);
  params.emplace_back(mark.at.host);
  params.emplace_back(mark.at.process);
  return params;
}

SqlParams markKeyParams(const PlayingMark& mark) {
  return {mark.subject, mark.at.host, mark.at.process};
}

PlayingMark markOf(const Row& row) {
  return PlayingMark{textOrEmpty(row, "Subject"),
                     textOrEmpty(row, "Setting"),
                     {textOrEmpty(row, "Host"), wholeOrZero(row, "Process")},
                     wholeOrZero(row, "Since"),
                     wholeOrZero(row, "LastWeek"),
                     activityOf(row),
                     {}};  // a mark read is someone's: its secret stays unread
}

std::optional<int16_t> highestTrial(QueryRunner& reads, const std::string& subject,
                                    const std::string& setting) {
  return recordedTrial(
      reads,
      R"(SELECT max("Trial") AS "Trial" FROM "datRole" WHERE "Subject" = ? AND "Setting" = ?)",
      subject, setting);
}

std::optional<int16_t> lowestTrial(QueryRunner& reads, const std::string& subject,
                                   const std::string& setting) {
  return recordedTrial(
      reads,
      R"(SELECT min("Trial") AS "Trial" FROM "datRole" WHERE "Subject" = ? AND "Setting" = ?)",
      subject, setting);
}

std::optional<int16_t> highestWeek(QueryRunner& reads, const std::string& subject,
                                   const std::string& setting, int16_t trial) {
  const Rows rows = reads.query(R"(SELECT max("Week") AS "Week" FROM "datRole"
                                   WHERE "Subject" = ? AND "Setting" = ? AND "Trial" = ?)",
                                {subject, setting, int64_t{trial}});
  const Cell week = rows.front().cell("Week");
  if (week.isNull()) return std::nullopt;
  return week.toInt16();
}

bool trialRecorded(QueryRunner& reads, const std::string& subject, const std::string& setting,
                   int16_t trial) {
  const Rows rows = reads.query(R"(SELECT count(*) AS "n" FROM "datTrial"
                                   WHERE "Subject" = ? AND "Setting" = ? AND "Trial" = ?)",
                                {subject, setting, int64_t{trial}});
  return rows.front().cell("n").toInt32() > 0;
}

// Sorted here, byte by byte, so that both engines list them alike whatever
// collation the server's database has.
namespace {

// The participants and settings of the datRole rows that `rows` picks.
std::vector<RecordedSession> sessionsOfRows(QueryRunner& reads, const char* rows,
                                            const std::string& setting,
                                            const std::string& subject) {
  std::string sql =
      std::string(R"(SELECT DISTINCT "Subject", "Setting" FROM "datRole" WHERE )") + rows;
  SqlParams params;
  if (!setting.empty()) {
    sql += R"( AND "Setting" = ?)";
    params.emplace_back(setting);
  }
  if (!subject.empty()) {
    sql += R"( AND "Subject" = ?)";
    params.emplace_back(subject);
  }
  std::vector<RecordedSession> sessions;
  for (const Row& row : reads.query(sql, params)) {
    sessions.push_back({textOrEmpty(row, "Subject"), textOrEmpty(row, "Setting")});
  }
  std::sort(sessions.begin(), sessions.end(), [](const auto& a, const auto& b) {
    return std::tie(a.subject, a.setting) < std::tie(b.subject, b.setting);
  });
  return sessions;
}

}  // namespace

std::vector<RecordedSession> recordedSessions(QueryRunner& reads, const std::string& setting,
                                              const std::string& subject) {
  return sessionsOfRows(reads, R"("Training" = 0)", setting, subject);
}

std::vector<RecordedSession> trainingSessions(QueryRunner& reads, const std::string& setting,
                                              const std::string& subject) {
  return sessionsOfRows(reads, R"("Training" <> 0)", setting, subject);
}

RecordedRows recordedRows(QueryRunner& reads, const RecordedSession& session) {
  const SqlParams params{session.subject, session.setting};
  RecordedRows rows;
  for (const Row& row : reads.query(
           std::string(R"(SELECT * FROM "datTrial")") + kExperimentRows + R"( ORDER BY "Trial")",
           params)) {
    rows.trials.push_back(trialColumns().read(row));
  }
  for (const Row& row : reads.query(std::string(R"(SELECT * FROM "datRole")") + kExperimentRows +
                                        R"( ORDER BY "Trial", "Week", rowid)",
                                    params)) {
    rows.weeks.push_back(weekColumns().read(row));
  }
  return rows;
}

namespace {

// A key column read as a 16-bit number: rows written by hand may hold
// anything, and are to be listed rather than refused. A Null or text reads
// as 0, a number beyond 16 bits as its nearest 16-bit value.
int16_t keyNumber(const Row& row, const char* column) {
  const CellValue value = row.cell(column).value();
  int64_t number = 0;
  if (const auto* whole = std::get_if<int64_t>(&value)) number = *whole;
  if (const auto* real = std::get_if<double>(&value)) {
    number = static_cast<int64_t>(std::clamp<double>(*real, INT16_MIN, INT16_MAX));
  }
  return static_cast<int16_t>(std::clamp<int64_t>(number, INT16_MIN, INT16_MAX));
}

}  // namespace

RecordKeys recordKeys(QueryRunner& reads, const std::string& setting, const std::string& subject) {
  std::string where = R"( WHERE "Setting" = ?)";
  SqlParams params{setting};
  if (!subject.empty()) {
    where += R"( AND "Subject" = ?)";
    params.emplace_back(subject);
  }
  RecordKeys keys;
  for (const Row& row :
       reads.query(std::string(R"(SELECT "Subject", "Trial", "Training", "Week", "Role")"
                               R"( FROM "datRole")") +
                       where + R"( ORDER BY "Subject", "Trial", "Week", "Role")",
                   params)) {
    keys.weeks.push_back({textOrEmpty(row, "Subject"), keyNumber(row, "Trial"),
                          keyNumber(row, "Training") != 0, keyNumber(row, "Week"),
                          textOrEmpty(row, "Role")});
  }
  for (const Row& row : reads.query(std::string(R"(SELECT "Subject", "Trial", "Training")"
                                                R"( FROM "datTrial")") +
                                        where + R"( ORDER BY "Subject", "Trial")",
                                    params)) {
    keys.trials.push_back({textOrEmpty(row, "Subject"), keyNumber(row, "Trial"),
                           keyNumber(row, "Training") != 0, 0, ""});
  }
  return keys;
}

TeamMemberRow memberRowOf(const Row& row) {
  TeamMemberRow read = teamMemberColumns().read(row);
  read.member.here = !read.member.fixed;
  return read;
}

std::string selectSettingMembersSql() {
  return selectedColumns(teamMemberColumns()) + R"(WHERE "Setting" = ? ORDER BY "Team", "Member")";
}

std::vector<SettingMember> settingMembersOf(const Rows& rows) {
  std::vector<SettingMember> members;
  for (const Row& row : rows) {
    const TeamMemberRow read = memberRowOf(row);
    members.push_back({read.key.team, read.member});
  }
  return members;
}

}  // namespace quarn
