#include "db/SqlCipherPlanStore.h"

#include "base/Numbers.h"

namespace quarn {

namespace {

std::vector<std::string> settingsOf(const Rows& rows) {
  std::vector<std::string> settings;
  for (const Row& row : rows) settings.push_back(row.cell("Setting").toText());
  return settings;
}

}  // namespace

Rows SqlCipherPlanStore::read(const std::string& sql, const SqlParams& params) {
  SqlCipherConnection connection(m_file.path, OpenMode::ReadOnly, m_file.waiter);
  return connection.query(sql, params);
}

std::optional<Row> SqlCipherPlanStore::first(const std::string& sql, const std::string& name) {
  Rows rows = read(sql, {name});
  if (rows.empty()) return std::nullopt;
  return std::move(rows.front());
}

Rows SqlCipherPlanStore::players() {
  return read(R"(SELECT * FROM "tblPlayer")");
}

Rows SqlCipherPlanStore::blockRows(const std::string& setting) {
  return read(
      R"(SELECT * FROM "tblBlock" WHERE "Setting" = ? ORDER BY "RandomGroup" DESC, "Index")",
      {setting});
}

Rows SqlCipherPlanStore::trainingRows(const std::string& setting) {
  return read(R"(SELECT * FROM "tblTraining" WHERE "Setting" = ?)", {setting});
}

Rows SqlCipherPlanStore::pauseRows(const std::string& setting) {
  return read(R"(SELECT * FROM "tblPause" WHERE "Setting" = ? ORDER BY "Trial")", {setting});
}

std::optional<Row> SqlCipherPlanStore::predicter(const std::string& name) {
  return first(R"(SELECT * FROM "tblPredicter" WHERE "Predicter" = ?)", name);
}

std::optional<Row> SqlCipherPlanStore::displayConfiguration(const std::string& name) {
  return first(R"(SELECT * FROM "tblDisplay" WHERE "Configuration" = ?)", name);
}

std::optional<Row> SqlCipherPlanStore::displayOption(const std::string& name) {
  return first(R"(SELECT * FROM "tblDisplayOption" WHERE "Option" = ?)", name);
}

std::vector<std::string> SqlCipherPlanStore::settings() {
  return settingsOf(read(R"(SELECT DISTINCT "Setting" FROM "tblBlock")"));
}

std::set<std::string> SqlCipherPlanStore::plannedSettings() {
  std::set<std::string> settings;
  for (const char* sql : {R"(SELECT DISTINCT "Setting" FROM "tblBlock")",
                          R"(SELECT DISTINCT "Setting" FROM "tblTraining")",
                          R"(SELECT DISTINCT "Setting" FROM "tblPause")"}) {
    for (std::string& setting : settingsOf(read(sql))) settings.insert(std::move(setting));
  }
  return settings;
}

int16_t SqlCipherPlanStore::blockTrialCount(const std::string& setting) {
  const Rows rows =
      read(R"(SELECT sum("Runs") AS "Trials" FROM "tblBlock" WHERE "Setting" = ?)", {setting});
  return narrow16(rows.front().cell("Trials").toInt32(), "Trials");
}

}  // namespace quarn
