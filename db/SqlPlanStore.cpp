#include "db/SqlPlanStore.h"

#include <algorithm>

#include "base/Errors.h"
#include "base/Numbers.h"
#include "base/Text.h"
#include "db/Schema.h"

namespace quarn {

namespace {

std::vector<std::string> settingsOf(const Rows& rows) {
  std::vector<std::string> settings;
  for (const Row& row : rows) settings.push_back(row.cell("Setting").toText());
  return settings;
}

CellValue defaultCell(const std::string& sqlDefault) {
  if (sqlDefault == "''") return std::string();
  return static_cast<int64_t>(std::stoll(sqlDefault));
}

// An optional plan column left empty (Null: left out of an import's CSV
// file, or written so with a shell) reads as the default the schema gives
// it, as a row inserted without it does.
Rows withDefaults(Rows rows, const std::string& table) {
  if (rows.empty()) return rows;
  const std::vector<std::string>& names = rows.front().columns().names();
  std::vector<CellValue> defaults(names.size());
  bool any = false;
  for (size_t i = 0; i < names.size(); ++i) {
    const ColumnDescription* column = findColumn(currentSchema(), table, names[i]);
    if (column && column->defaultValue) {
      defaults[i] = defaultCell(*column->defaultValue);
      any = true;
    }
  }
  if (!any) return rows;
  const auto columns = std::make_shared<const ColumnNames>(names);
  Rows filled;
  filled.reserve(rows.size());
  for (const Row& row : rows) {
    std::vector<CellValue> values = row.values();
    for (size_t i = 0; i < values.size() && i < defaults.size(); ++i) {
      if (std::holds_alternative<std::monostate>(values[i])) values[i] = defaults[i];
    }
    filled.emplace_back(columns, std::move(values));
  }
  return filled;
}

}  // namespace

std::optional<Row> SqlPlanStore::first(const std::string& sql, const std::string& name,
                                       const std::string& table) {
  Rows rows = withDefaults(m_reads.query(sql, {name}), table);
  if (rows.empty()) return std::nullopt;
  return std::move(rows.front());
}

Rows SqlPlanStore::players() {
  return withDefaults(m_reads.query(R"(SELECT * FROM "tblPlayer" ORDER BY rowid)"), "tblPlayer");
}

Rows SqlPlanStore::blockRows(const std::string& setting) {
  return withDefaults(m_reads.query(
                          R"(SELECT * FROM "tblBlock" WHERE "Setting" = ?
         ORDER BY "RandomGroup" DESC, "Index", rowid)",
                          {setting}),
                      "tblBlock");
}

Rows SqlPlanStore::trainingRows(const std::string& setting) {
  return withDefaults(
      m_reads.query(R"(SELECT * FROM "tblTraining" WHERE "Setting" = ? ORDER BY rowid)", {setting}),
      "tblTraining");
}

Rows SqlPlanStore::pauseRows(const std::string& setting) {
  return withDefaults(
      m_reads.query(R"(SELECT * FROM "tblPause" WHERE "Setting" = ? ORDER BY "Trial", rowid)",
                    {setting}),
      "tblPause");
}

std::optional<Row> SqlPlanStore::predicter(const std::string& name) {
  return first(R"(SELECT * FROM "tblPredicter" WHERE "Predicter" = ? ORDER BY rowid LIMIT 1)", name,
               "tblPredicter");
}

std::optional<Row> SqlPlanStore::displayConfiguration(const std::string& name) {
  return first(R"(SELECT * FROM "tblDisplay" WHERE "Configuration" = ? ORDER BY rowid LIMIT 1)",
               name, "tblDisplay");
}

std::optional<Row> SqlPlanStore::displayOption(const std::string& name) {
  return first(R"(SELECT * FROM "tblDisplayOption" WHERE "Option" = ? ORDER BY rowid LIMIT 1)",
               name, "tblDisplayOption");
}

std::string SqlPlanStore::settingLanguage(const std::string& setting) {
  const std::optional<Row> row =
      first(R"(SELECT "Language" FROM "tblSetting" WHERE "Setting" = ? ORDER BY rowid LIMIT 1)",
            setting, "tblSetting");
  if (!row || row->cell("Language").isNull()) return "";
  return std::string(trimSpace(row->cell("Language").toText()));
}

std::string SqlPlanStore::settingCompletionLink(const std::string& setting) {
  const std::optional<Row> row = first(
      R"(SELECT "CompletionLink" FROM "tblSetting" WHERE "Setting" = ? ORDER BY rowid LIMIT 1)",
      setting, "tblSetting");
  if (!row || row->cell("CompletionLink").isNull()) return "";
  return std::string(trimSpace(row->cell("CompletionLink").toText()));
}

// Sorted here, byte by byte, so that both engines list them alike whatever
// collation the server's database has.
std::vector<std::string> SqlPlanStore::settings() {
  std::vector<std::string> settings =
      settingsOf(m_reads.query(R"(SELECT DISTINCT "Setting" FROM "tblBlock")"));
  std::sort(settings.begin(), settings.end());
  return settings;
}

std::set<std::string> SqlPlanStore::plannedSettings() {
  std::set<std::string> settings;
  for (const char* sql : {R"(SELECT DISTINCT "Setting" FROM "tblBlock")",
                          R"(SELECT DISTINCT "Setting" FROM "tblTraining")",
                          R"(SELECT DISTINCT "Setting" FROM "tblPause")"}) {
    for (std::string& setting : settingsOf(m_reads.query(sql))) settings.insert(std::move(setting));
  }
  return settings;
}

int16_t SqlPlanStore::blockTrialCount(const std::string& setting) {
  const Rows rows = m_reads.query(
      R"(SELECT sum("Runs") AS "Trials" FROM "tblBlock" WHERE "Setting" = ?)", {setting});
  return narrow16(rows.front().cell("Trials").toInt32(), "Trials");
}

}  // namespace quarn
