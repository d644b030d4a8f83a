#include "db/SqlCipherResultStore.h"

#include "db/InsertTransaction.h"

namespace quarn {

namespace {

constexpr int64_t kParticipantUser = 6;
constexpr size_t kDelayColumns = 3;

CellValue truth(bool value) {
  return int64_t{value ? 1 : 0};
}

template <class RowT>
class SqlCipherRowWriter final : public RowWriter<RowT> {
 public:
  using Params = SqlParams (*)(const RowT&);
  SqlCipherRowWriter(const SqlCipherFile& file, const char* table, const char* sql, Params params)
      : m_transaction(file.path, table, file.waiter), m_sql(sql), m_params(params) {}

  void insert(const RowT& row) override { m_transaction.insert(m_sql, m_params(row)); }
  void commit() override { m_transaction.commit(); }

 private:
  InsertTransaction m_transaction;
  const char* m_sql;
  Params m_params;
};

constexpr const char* kInsertWeekRow =
    R"(INSERT INTO "datRole" ("Subject", "Setting", "Trial", "Training", "Week", "Role", "User",
         "PNoise", "Order", "DeltaInventory", "Inventory", "Delay1", "Delay2", "Delay3", "Demand",
         "Satisfied", "WeeklyCost", "TotalCost", "TransactionTime", "Date", "TimeOfDay")
       VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?))";

SqlParams weekParams(const WeekRow& r) {
  SqlParams params;
  params.reserve(21);
  params.emplace_back(r.subject);
  params.emplace_back(r.setting);
  params.emplace_back(int64_t{r.trial});
  params.push_back(truth(r.training));
  params.emplace_back(int64_t{r.week});
  params.emplace_back(r.role);
  params.emplace_back(r.participant ? kParticipantUser : int64_t{0});
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

constexpr const char* kInsertTrialRow =
    R"(INSERT INTO "datTrial" ("Subject", "Setting", "Trial", "Training", "Weeks", "Delay",
         "Predicter", "InventoryCost", "BackCost", "TransitCost", "EndCost", "Factory",
         "Distributor", "Wholesaler", "Retailer", "Date", "Time")
       VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?))";

SqlParams trialParams(const TrialRow& r) {
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

int32_t wholeOrZero(const Row& row, const char* column) {
  const Cell cell = row.cell(column);
  return cell.isNull() ? 0 : cell.toInt32();
}

int16_t shortOrZero(const Row& row, const char* column) {
  const Cell cell = row.cell(column);
  return cell.isNull() ? int16_t{0} : cell.toInt16();
}

double realOrZero(const Row& row, const char* column) {
  const Cell cell = row.cell(column);
  return cell.isNull() ? 0.0 : cell.toDouble();
}

std::string textOrEmpty(const Row& row, const char* column) {
  const Cell cell = row.cell(column);
  return cell.isNull() ? std::string() : cell.toText();
}

WeekRow weekRowOf(const Row& row) {
  WeekRow r;
  r.subject = textOrEmpty(row, "Subject");
  r.setting = textOrEmpty(row, "Setting");
  r.trial = shortOrZero(row, "Trial");
  r.training = row.cell("Training").toBool();
  r.week = shortOrZero(row, "Week");
  r.role = textOrEmpty(row, "Role");
  r.participant = wholeOrZero(row, "User") == kParticipantUser;
  if (!row.cell("PNoise").isNull()) r.predicterNoise = row.cell("PNoise").toInt32();
  r.order = wholeOrZero(row, "Order");
  r.deltaInventory = wholeOrZero(row, "DeltaInventory");
  r.inventory = wholeOrZero(row, "Inventory");
  for (const char* slot : {"Delay1", "Delay2", "Delay3"}) {
    const Cell cell = row.cell(slot);
    if (cell.isNull()) break;
    r.delaySlots.push_back(cell.toInt32());
  }
  r.demand = wholeOrZero(row, "Demand");
  r.satisfied = wholeOrZero(row, "Satisfied");
  r.weeklyCost = wholeOrZero(row, "WeeklyCost");
  r.totalCost = wholeOrZero(row, "TotalCost");
  r.transactionTime = wholeOrZero(row, "TransactionTime");
  r.date = textOrEmpty(row, "Date");
  r.timeOfDay = textOrEmpty(row, "TimeOfDay");
  return r;
}

TrialRow trialRowOf(const Row& row) {
  TrialRow r;
  r.subject = textOrEmpty(row, "Subject");
  r.setting = textOrEmpty(row, "Setting");
  r.trial = shortOrZero(row, "Trial");
  r.training = row.cell("Training").toBool();
  r.weeks = shortOrZero(row, "Weeks");
  r.delay = shortOrZero(row, "Delay");
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

std::vector<RecordedSession> SqlCipherResultStore::recordedSessions(const std::string& setting,
                                                                    const std::string& subject) {
  std::string sql = R"(SELECT DISTINCT "Subject", "Setting" FROM "datRole" WHERE "Training" = 0)";
  SqlParams params;
  if (!setting.empty()) {
    sql += R"( AND "Setting" = ?)";
    params.emplace_back(setting);
  }
  if (!subject.empty()) {
    sql += R"( AND "Subject" = ?)";
    params.emplace_back(subject);
  }
  sql += R"( ORDER BY "Subject", "Setting")";
  SqlCipherConnection connection(m_file.path, OpenMode::ReadOnly, m_file.waiter);
  std::vector<RecordedSession> sessions;
  for (const Row& row : connection.query(sql, params)) {
    sessions.push_back({textOrEmpty(row, "Subject"), textOrEmpty(row, "Setting")});
  }
  return sessions;
}

RecordedRows SqlCipherResultStore::recordedRows(const RecordedSession& session) {
  SqlCipherConnection connection(m_file.path, OpenMode::ReadOnly, m_file.waiter);
  const SqlParams params{session.subject, session.setting};
  RecordedRows rows;
  for (const Row& row : connection.query(
           std::string(R"(SELECT * FROM "datTrial")") + kExperimentRows + R"( ORDER BY "Trial")",
           params)) {
    rows.trials.push_back(trialRowOf(row));
  }
  for (const Row& row : connection.query(std::string(R"(SELECT * FROM "datRole")") +
                                             kExperimentRows + R"( ORDER BY "Trial", "Week")",
                                         params)) {
    rows.weeks.push_back(weekRowOf(row));
  }
  return rows;
}

std::unique_ptr<RowWriter<WeekRow>> SqlCipherResultStore::openWeekRows() {
  return std::make_unique<SqlCipherRowWriter<WeekRow>>(m_file, "datRole", kInsertWeekRow,
                                                       weekParams);
}

std::unique_ptr<RowWriter<TrialRow>> SqlCipherResultStore::openTrialRows() {
  return std::make_unique<SqlCipherRowWriter<TrialRow>>(m_file, "datTrial", kInsertTrialRow,
                                                        trialParams);
}

}  // namespace quarn
