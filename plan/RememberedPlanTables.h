#pragma once

#include <map>
#include <optional>
#include <string>

#include "plan/PlanTables.h"

namespace quarn {

// The plan tables of `source`, each table (or named row) read at its first
// use and served from memory after that, until forget(). A login checks the
// setting's plan and the game then loads the same rows: read once, they
// cost one round trip each to a server instead of one per reader. A read
// that fails is not remembered: the next use reads again.
class RememberedPlanTables final : public PlanTables {
 public:
  explicit RememberedPlanTables(PlanTables& source) : m_source(source) {}

  Rows players() override;
  Rows blockRows(const std::string& setting) override;
  Rows trainingRows(const std::string& setting) override;
  Rows pauseRows(const std::string& setting) override;
  std::optional<Row> predicter(const std::string& name) override;
  std::optional<Row> displayConfiguration(const std::string& name) override;
  std::optional<Row> displayOption(const std::string& name) override;
  std::string settingLanguage(const std::string& setting) override;
  std::string settingCompletionLink(const std::string& setting) override;

  // Drops everything read: the next use of each table reads it again.
  void forget();

 private:
  PlanTables& m_source;
  std::optional<Rows> m_players;
  std::map<std::string, Rows> m_blocks;
  std::map<std::string, Rows> m_training;
  std::map<std::string, Rows> m_pauses;
  std::map<std::string, std::optional<Row>> m_predicters;
  std::map<std::string, std::optional<Row>> m_displays;
  std::map<std::string, std::optional<Row>> m_options;
  std::map<std::string, std::string> m_languages;
  std::map<std::string, std::string> m_completionLinks;
};

}  // namespace quarn
