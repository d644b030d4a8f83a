#include "db/StoreSql.h"

namespace quarn {

namespace {

constexpr int64_t kParticipantUser = 6;
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

SqlParams markParams(const PlayingMark& mark) {
  return {mark.subject, mark.setting, mark.at.host, mark.at.process, mark.since, mark.lastWeek};
}

SqlParams touchParams(const PlayingMark& mark) {
  return {mark.lastWeek, mark.subject, mark.at.host, mark.at.process};
}

SqlParams markKeyParams(const PlayingMark& mark) {
  return {mark.subject, mark.at.host, mark.at.process};
}

PlayingMark markOf(const Row& row) {
  return PlayingMark{textOrEmpty(row, "Subject"),
                     textOrEmpty(row, "Setting"),
                     {textOrEmpty(row, "Host"), wholeOrZero(row, "Process")},
                     wholeOrZero(row, "Since"),
                     wholeOrZero(row, "LastWeek")};
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

}  // namespace quarn
