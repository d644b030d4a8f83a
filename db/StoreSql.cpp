#include "db/StoreSql.h"

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <tuple>

#include "base/Roles.h"

namespace quarn {

namespace {

constexpr int64_t kParticipantUser = 6;
constexpr int64_t kTeamMemberUser = 7;
constexpr size_t kDelayColumns = 3;

CellValue truth(bool value) {
  return int64_t{value ? 1 : 0};
}

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

int32_t int32OrZero(const Row& row, const char* column) {
  const Cell cell = row.cell(column);
  return cell.isNull() ? 0 : cell.toInt32();
}

int16_t int16OrZero(const Row& row, const char* column) {
  const Cell cell = row.cell(column);
  return cell.isNull() ? int16_t{0} : cell.toInt16();
}

double realOrZero(const Row& row, const char* column) {
  const Cell cell = row.cell(column);
  return cell.isNull() ? 0.0 : cell.toDouble();
}

WeekRow weekRowOf(const Row& row) {
  WeekRow r;
  r.subject = textOrEmpty(row, "Subject");
  r.setting = textOrEmpty(row, "Setting");
  r.trial = int16OrZero(row, "Trial");
  r.training = row.cell("Training").toBool();
  r.week = int16OrZero(row, "Week");
  r.role = textOrEmpty(row, "Role");
  r.participant = int32OrZero(row, "User") == kParticipantUser;
  r.teamMember = int32OrZero(row, "User") == kTeamMemberUser;
  if (!row.cell("PNoise").isNull()) r.predicterNoise = row.cell("PNoise").toInt32();
  r.order = int32OrZero(row, "Order");
  r.deltaInventory = int32OrZero(row, "DeltaInventory");
  r.inventory = int32OrZero(row, "Inventory");
  for (const char* slot : {"Delay1", "Delay2", "Delay3"}) {
    const Cell cell = row.cell(slot);
    if (cell.isNull()) break;
    r.delaySlots.push_back(cell.toInt32());
  }
  r.demand = int32OrZero(row, "Demand");
  r.satisfied = int32OrZero(row, "Satisfied");
  r.weeklyCost = int32OrZero(row, "WeeklyCost");
  r.totalCost = int32OrZero(row, "TotalCost");
  r.transactionTime = int32OrZero(row, "TransactionTime");
  r.date = textOrEmpty(row, "Date");
  r.timeOfDay = textOrEmpty(row, "TimeOfDay");
  return r;
}

TrialRow trialRowOf(const Row& row) {
  TrialRow r;
  r.subject = textOrEmpty(row, "Subject");
  r.setting = textOrEmpty(row, "Setting");
  r.trial = int16OrZero(row, "Trial");
  r.training = row.cell("Training").toBool();
  r.weeks = int16OrZero(row, "Weeks");
  r.delay = int16OrZero(row, "Delay");
  r.predicter = textOrEmpty(row, "Predicter");
  r.inventoryCostRate = realOrZero(row, "InventoryCost");
  r.backorderCostRate = realOrZero(row, "BackCost");
  r.transitCostRate = realOrZero(row, "TransitCost");
  r.endCost = realOrZero(row, "EndCost");
  for (int role = 0; role < kRoleCount; ++role) {
    r.players[static_cast<size_t>(role)] = textOrEmpty(row, roleColumn(role).c_str());
  }
  r.date = textOrEmpty(row, "Date");
  r.time = textOrEmpty(row, "Time");
  return r;
}

constexpr const char* kExperimentRows =
    R"( WHERE "Training" = 0 AND "Subject" = ? AND "Setting" = ?)";

}  // namespace

SqlParams weekRowParams(const WeekRow& r) {
  SqlParams params;
  params.reserve(21);
  params.emplace_back(r.subject);
  params.emplace_back(r.setting);
  params.emplace_back(int64_t{r.trial});
  params.push_back(truth(r.training));
  params.emplace_back(int64_t{r.week});
  params.emplace_back(r.role);
  params.emplace_back(r.participant  ? kParticipantUser
                      : r.teamMember ? kTeamMemberUser
                                     : int64_t{0});
  if (r.predicterNoise) {
    params.emplace_back(int64_t{*r.predicterNoise});
  } else {
    params.emplace_back(std::monostate{});
  }
  for (int32_t value : {r.order, r.deltaInventory, r.inventory})
    params.emplace_back(int64_t{value});
  // The slots beyond the trial's delay stay Null: not recorded.
  for (size_t k = 0; k < kDelayColumns; ++k) {
    if (k < r.delaySlots.size()) {
      params.emplace_back(int64_t{r.delaySlots[k]});
    } else {
      params.emplace_back(std::monostate{});
    }
  }
  for (int32_t value : {r.demand, r.satisfied, r.weeklyCost, r.totalCost, r.transactionTime}) {
    params.emplace_back(int64_t{value});
  }
  params.emplace_back(r.date);
  params.emplace_back(r.timeOfDay);
  return params;
}

SqlParams trialRowParams(const TrialRow& r) {
  SqlParams params;
  params.reserve(17);
  params.emplace_back(r.subject);
  params.emplace_back(r.setting);
  params.emplace_back(int64_t{r.trial});
  params.push_back(truth(r.training));
  params.emplace_back(int64_t{r.weeks});
  params.emplace_back(int64_t{r.delay});
  params.emplace_back(r.predicter);
  for (double rate : {r.inventoryCostRate, r.backorderCostRate, r.transitCostRate, r.endCost}) {
    params.emplace_back(rate);
  }
  for (const std::string& player : r.players) params.emplace_back(player);
  params.emplace_back(r.date);
  params.emplace_back(r.time);
  return params;
}

SqlParams participantRowParams(const ParticipantRow& row) {
  return {row.subject, row.setting,    row.age ? CellValue{*row.age} : CellValue{},
          row.gender,  row.schoolYear, row.major};
}

void addActivity(SqlParams& params, const PlayActivity& activity) {
  params.emplace_back(activity.state ? CellValue{playStateWord(*activity.state)} : CellValue{});
  params.emplace_back(activity.stateSince);
  params.emplace_back(int64_t{activity.trial});
  params.emplace_back(int64_t{activity.week});
  params.emplace_back(int64_t{activity.weeks});
  params.emplace_back(activity.role);
  params.emplace_back(activity.cost ? CellValue{*activity.cost} : CellValue{});
}

namespace {

std::optional<Cell> cellIfAny(const Row& row, const char* column) {
  if (!row.columns().find(column)) return std::nullopt;
  Cell cell = row.cell(column);
  if (cell.isNull()) return std::nullopt;
  return cell;
}

std::optional<int64_t> int64IfAny(const Row& row, const char* column) {
  const std::optional<Cell> cell = cellIfAny(row, column);
  if (!cell) return std::nullopt;
  const auto* value = std::get_if<int64_t>(&cell->value());
  if (value) return *value;
  return int64_t{cell->toInt32()};
}

int16_t int16IfAny(const Row& row, const char* column) {
  const std::optional<Cell> cell = cellIfAny(row, column);
  return cell ? cell->toInt16() : 0;
}

PlayActivity activityOf(const Row& row) {
  PlayActivity activity;
  if (const std::optional<Cell> state = cellIfAny(row, "State")) {
    const std::string word = state->toText();
    activity.state = playStateOf(word);
    if (!activity.state && !word.empty()) activity.unknownState = word;
  }
  activity.stateSince = int64IfAny(row, "StateSince").value_or(0);
  activity.trial = int16IfAny(row, "Trial");
  activity.week = int16IfAny(row, "Week");
  activity.weeks = int16IfAny(row, "Weeks");
  if (const std::optional<Cell> role = cellIfAny(row, "Role")) activity.role = role->toText();
  activity.cost = int64IfAny(row, "Cost");
  return activity;
}

}  // namespace

std::string markColumnsSql() {
  std::string columns = R"("Subject", "Setting", "Host", "Process", "Since", "LastWeek")";
  for (const char* column : kMarkActivityColumns) columns += std::string(", \"") + column + "\"";
  return columns;
}

std::string insertMarkSql() {
  std::string values = "?, ?, ?, ?, ?, ?, ?";
  for (size_t c = 0; c < std::size(kMarkActivityColumns); ++c) values += ", ?";
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
  for (const char* column : kMarkActivityColumns) set += std::string(", \"") + column + "\" = ?";
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
    rows.trials.push_back(trialRowOf(row));
  }
  for (const Row& row : reads.query(std::string(R"(SELECT * FROM "datRole")") + kExperimentRows +
                                        R"( ORDER BY "Trial", "Week", rowid)",
                                    params)) {
    rows.weeks.push_back(weekRowOf(row));
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

}  // namespace quarn
