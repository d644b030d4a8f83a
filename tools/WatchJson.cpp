// The live view as JSON lines: one object per participant, then one per
// team, each with the view's time.

#include <nlohmann/json.hpp>

#include "tools/Watch.h"

namespace quarn::admin {

namespace {

// A text as JSON, null when empty.
nlohmann::ordered_json textOrNull(const std::string& text) {
  return text.empty() ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(text);
}

nlohmann::ordered_json teamJson(const WatchTeam& team, const std::string& time) {
  nlohmann::ordered_json members = nlohmann::ordered_json::array();
  for (const WatchMember& m : team.members) {
    nlohmann::ordered_json member = nlohmann::ordered_json::object();
    member["member"] = m.member;
    member["subject"] = m.line.subject;
    // Where the member's own mark says it is (a member training alone).
    member["trial"] = m.active && m.line.trial != 0 ? nlohmann::ordered_json(m.line.trial)
                                                    : nlohmann::ordered_json(nullptr);
    member["training"] = m.line.trial < 0;
    member["week"] = m.active && m.line.week != 0 ? nlohmann::ordered_json(m.line.week)
                                                  : nlohmann::ordered_json(nullptr);
    member["role"] = textOrNull(m.line.role);
    member["state"] = textOrNull(m.active ? m.line.state : "");
    member["workstation"] = textOrNull(m.line.workstation);
    member["gone"] = m.line.gone;
    member["replacedBy"] = textOrNull(m.replacedBy);
    members.push_back(std::move(member));
  }
  const auto orNull = [](int64_t value) {
    return value != 0 ? nlohmann::ordered_json(value) : nlohmann::ordered_json(nullptr);
  };
  return {
      {"time", time},
      {"team", team.team},
      {"setting", team.setting},
      {"size", team.size},
      {"here", team.here},
      {"trial", orNull(team.trial)},
      {"training", team.training},
      {"week", orNull(team.week)},
      {"weeks", orNull(team.weeks)},
      {"ordered", team.ordered},
      {"waitingFor", team.waitingFor},
      {"waitingSeconds",
       team.waitingSeconds ? nlohmann::ordered_json(*team.waitingSeconds) : nullptr},
      {"state", teamStateText(team)},
      {"members", members},
  };
}

std::string jsonLine(const nlohmann::ordered_json& object) {
  // Text that is not UTF-8 is written with replacement characters rather
  // than refused.
  return object.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}

}  // namespace

std::string formatWatchJson(const std::vector<WatchLine>& lines, const std::string& time,
                            const std::vector<WatchTeam>& teams) {
  std::string text;
  for (const WatchLine& line : lines) {
    const auto orNull = [](auto value, bool known) {
      return known ? nlohmann::ordered_json(value) : nlohmann::ordered_json(nullptr);
    };
    const nlohmann::ordered_json object = {
        {"time", time},
        {"subject", line.subject},
        {"setting", line.setting},
        {"trial", orNull(line.trial, line.trial != 0)},
        {"training", line.trial < 0},
        {"week", orNull(line.week, line.week != 0)},
        {"weeks", orNull(line.weeks, line.weeks != 0)},
        {"role", orNull(line.role, !line.role.empty())},
        {"state", line.state},
        {"stateKnown", !line.stateUnknown},
        {"stateSeconds", line.stateSeconds},
        {"cost", line.cost ? nlohmann::ordered_json(*line.cost) : nlohmann::ordered_json(nullptr)},
        {"workstation", orNull(line.workstation, !line.workstation.empty())},
        {"quietSeconds", line.quietSeconds},
        {"gone", line.gone},
    };
    text += jsonLine(object);
  }
  for (const WatchTeam& team : teams) text += jsonLine(teamJson(team, time));
  return text;
}

std::string formatWatchError(const std::string& time, const std::string& failure) {
  return jsonLine({{"time", time}, {"error", failure}});
}

}  // namespace quarn::admin
