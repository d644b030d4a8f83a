#include "game/TeamWeek.h"

#include <string_view>

#include "base/Numbers.h"
#include "base/Prompter.h"
#include "base/Text.h"

namespace quarn {

namespace {

std::string shownText(const Prompter* shownTo, const char* context, const char* text) {
  return shownTo ? shownTo->translate(context, text) : std::string(text);
}

}  // namespace

bool replacedIn(const TeamWeekMember& member, int16_t week) {
  return member.replacedFromWeek != 0 && week >= member.replacedFromWeek;
}

std::vector<size_t> membersToOrder(const std::vector<TeamWeekMember>& members, int16_t week) {
  std::vector<size_t> places;
  for (size_t i = 0; i < members.size(); ++i) {
    if (!members[i].ordered && !replacedIn(members[i], week)) places.push_back(i);
  }
  return places;
}

TeamWeekPhase teamWeekPhase(const TeamGathering& team) {
  if (team.begun) return TeamWeekPhase::Ordering;
  if (team.here < team.size) return TeamWeekPhase::Forming;
  return team.anyTrainsAlone ? TeamWeekPhase::TrainingAlone : TeamWeekPhase::Ordering;
}

std::string waitingForTeamText(const Prompter* shownTo, const std::vector<std::string>& here,
                               int16_t size) {
  std::string pattern =
      shownText(shownTo, "GameSession",
                QUARN_TRANSLATABLE("GameSession", "Waiting for your team: %1 of %2 here (%3)"));
  constexpr std::string_view kNames = " (%3)";
  if (const size_t names = pattern.find(kNames); here.empty() && names != std::string::npos) {
    pattern.erase(names, kNames.size());
  }
  return withArguments(pattern, {decimal(here.size()), decimal(size), joinText(here, ", ")});
}

std::string waitingForMembersText(const Prompter* shownTo, const std::vector<std::string>& names) {
  switch (names.size()) {
    case 0:
      return "";
    case 1:
      return withArguments(shownText(shownTo, "GameSession",
                                     QUARN_TRANSLATABLE("GameSession", "Waiting for the %1...")),
                           names);
    case 2:
      return withArguments(
          shownText(shownTo, "GameSession",
                    QUARN_TRANSLATABLE("GameSession", "Waiting for the %1 and the %2...")),
          names);
    default:
      return withArguments(
          shownText(shownTo, "GameSession",
                    QUARN_TRANSLATABLE("GameSession", "Waiting for the %1, the %2 and the %3...")),
          {joinText({names.begin(), names.end() - 2}, ", "), names[names.size() - 2],
           names.back()});
  }
}

}  // namespace quarn
