#pragma once

#include "db/PlanStore.h"
#include "db/QueryRunner.h"

namespace quarn {

// The plan tables, on either engine: every read is one query through
// `reads`, and rows of equal order come in the order they were inserted.
class SqlPlanStore final : public PlanStore {
 public:
  explicit SqlPlanStore(QueryRunner& reads) : m_reads(reads) {}

  Rows players() override;
  Rows blockRows(const std::string& setting) override;
  Rows trainingRows(const std::string& setting) override;
  Rows pauseRows(const std::string& setting) override;
  std::optional<Row> predicter(const std::string& name) override;
  std::optional<Row> displayConfiguration(const std::string& name) override;
  std::optional<Row> displayOption(const std::string& name) override;
  std::string settingLanguage(const std::string& setting) override;
  std::string settingCompletionLink(const std::string& setting) override;
  std::vector<std::string> settings() override;
  std::set<std::string> plannedSettings() override;
  int16_t blockTrialCount(const std::string& setting) override;

 private:
  // The first row `sql` finds for `name` in `table`, optional columns filled.
  std::optional<Row> first(const std::string& sql, const std::string& name,
                           const std::string& table);

  QueryRunner& m_reads;
};

}  // namespace quarn
