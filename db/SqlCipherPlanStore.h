#pragma once

#include "db/PlanStore.h"
#include "db/SqlCipherFile.h"

namespace quarn {

// The plan tables of an encrypted file. Every read opens its own read-only
// connection and takes a static copy of its result.
class SqlCipherPlanStore final : public PlanStore {
 public:
  explicit SqlCipherPlanStore(const SqlCipherFile& file) : m_file(file) {}

  Rows players() override;
  Rows blockRows(const std::string& setting) override;
  Rows trainingRows(const std::string& setting) override;
  Rows pauseRows(const std::string& setting) override;
  std::optional<Row> predicter(const std::string& name) override;
  std::optional<Row> displayConfiguration(const std::string& name) override;
  std::optional<Row> displayOption(const std::string& name) override;
  std::vector<std::string> settings() override;
  std::set<std::string> plannedSettings() override;
  int16_t blockTrialCount(const std::string& setting) override;

 private:
  Rows read(const std::string& sql, const SqlParams& params = {});
  std::optional<Row> first(const std::string& sql, const std::string& name);

  const SqlCipherFile& m_file;
};

}  // namespace quarn
