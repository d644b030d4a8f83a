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

}  // namespace

std::unique_ptr<RowWriter<WeekRow>> SqlCipherResultStore::openWeekRows() {
  return std::make_unique<SqlCipherRowWriter<WeekRow>>(m_file, "datRole", kInsertWeekRow,
                                                       weekParams);
}

std::unique_ptr<RowWriter<TrialRow>> SqlCipherResultStore::openTrialRows() {
  return std::make_unique<SqlCipherRowWriter<TrialRow>>(m_file, "datTrial", kInsertTrialRow,
                                                        trialParams);
}

}  // namespace quarn
