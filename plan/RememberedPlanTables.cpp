#include "plan/RememberedPlanTables.h"

namespace quarn {

namespace {

// The value kept under `key`, read through `read` the first time.
template <class Value, class Read>
Value remembered(std::map<std::string, Value>& memory, const std::string& key, Read&& read) {
  auto found = memory.find(key);
  if (found == memory.end()) found = memory.emplace(key, read()).first;
  return found->second;
}

}  // namespace

Rows RememberedPlanTables::players() {
  if (!m_players) m_players = m_source.players();
  return *m_players;
}

Rows RememberedPlanTables::blockRows(const std::string& setting) {
  return remembered(m_blocks, setting, [&] { return m_source.blockRows(setting); });
}

Rows RememberedPlanTables::trainingRows(const std::string& setting) {
  return remembered(m_training, setting, [&] { return m_source.trainingRows(setting); });
}

Rows RememberedPlanTables::pauseRows(const std::string& setting) {
  return remembered(m_pauses, setting, [&] { return m_source.pauseRows(setting); });
}

std::optional<Row> RememberedPlanTables::predicter(const std::string& name) {
  return remembered(m_predicters, name, [&] { return m_source.predicter(name); });
}

std::optional<Row> RememberedPlanTables::displayConfiguration(const std::string& name) {
  return remembered(m_displays, name, [&] { return m_source.displayConfiguration(name); });
}

std::optional<Row> RememberedPlanTables::displayOption(const std::string& name) {
  return remembered(m_options, name, [&] { return m_source.displayOption(name); });
}

std::string RememberedPlanTables::settingLanguage(const std::string& setting) {
  return remembered(m_languages, setting, [&] { return m_source.settingLanguage(setting); });
}

std::string RememberedPlanTables::settingCompletionLink(const std::string& setting) {
  return remembered(m_completionLinks, setting,
                    [&] { return m_source.settingCompletionLink(setting); });
}

void RememberedPlanTables::forget() {
  m_players.reset();
  m_blocks.clear();
  m_training.clear();
  m_pauses.clear();
  m_predicters.clear();
  m_displays.clear();
  m_options.clear();
  m_languages.clear();
  m_completionLinks.clear();
}

}  // namespace quarn
