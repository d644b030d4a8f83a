#include "plan/WeekClock.h"

#include <optional>

#include "base/Numbers.h"
#include "base/Text.h"
#include "plan/RowReader.h"

namespace quarn {

namespace {

bool hasColumn(const Row& row, const char* column) {
  return row.columns().find(column).has_value();
}

std::optional<int16_t> findPlayer(const std::vector<PlayerStrategy>& players,
                                  const std::string& name) {
  for (size_t i = 0; i < players.size(); ++i) {
    if (equalsIgnoringAsciiCase(players[i].name, name)) return static_cast<int16_t>(i);
  }
  return std::nullopt;
}

}  // namespace

WeekClockRow readWeekClock(PlanTables& tables, const std::vector<PlayerStrategy>& players,
                           const std::string& setting) {
  WeekClockRow result;
  const std::optional<Row> row = tables.settingRow(setting);
  if (!row || !hasColumn(*row, "WeekSeconds")) return result;
  RowReader reader("tblSetting", settingPlace(setting) + ", tblSetting", -1, result.faults);
  reader.setRow(*row);
  const std::optional<int32_t> seconds =
      reader.isNull("WeekSeconds") ? std::optional<int32_t>(0) : reader.int32("WeekSeconds");
  if (!seconds) return result;
  if (*seconds != 0 && (*seconds < kShortestWeekSeconds || *seconds > kLongestWeekSeconds)) {
    reader.add(reader.refusal("WeekSeconds", decimal(*seconds),
                              "WeekSeconds " + decimal(*seconds) + " is not 0 (no clock) or " +
                                  decimal(kShortestWeekSeconds) + " to " +
                                  decimal(kLongestWeekSeconds) + " seconds"));
    return result;
  }
  const std::string rule =
      hasColumn(*row, "ClockRule") ? std::string(trimSpace(reader.textOrEmpty("ClockRule"))) : "";
  int16_t player = kNoClockPlayer;
  if (!rule.empty()) {
    const std::optional<int16_t> found = findPlayer(players, rule);
    if (!found) {
      reader.add(reader.refusal("ClockRule", printable(rule),
                                "ClockRule " + printable(rule) +
                                    " names no player of tblPlayer (empty: the participant's "
                                    "last order)"));
      return result;
    }
    player = *found;
  }
  result.clock = WeekClock{*seconds, player};
  return result;
}

}  // namespace quarn
