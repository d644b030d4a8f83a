#pragma once

// The rule of a team's week, over plain data: who still has to order, and
// what the members and the moderator read while the team waits. The
// member's workstation and the moderator's live view both decide by it.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace quarn {

class Prompter;

// One member as a week of the team's trial sees it.
struct TeamWeekMember {
  bool ordered = false;  // the member's order of the week is stored
  // The week of the trial from which a simulated player orders for the
  // member (the moderator replaced it); 0: the member orders every week.
  int16_t replacedFromWeek = 0;
};

// Whether a simulated player orders for the member in `week`.
bool replacedIn(const TeamWeekMember& member, int16_t week);

// The places in `members` of those who still have to order `week`: neither
// ordered nor replaced, in the order given. The week is played once there
// is none.
std::vector<size_t> membersToOrder(const std::vector<TeamWeekMember>& members, int16_t week);

// Where a team stands before its weeks can be played.
struct TeamGathering {
  int16_t size = 0;             // the members the team has
  int16_t here = 0;             // those of them who are there
  bool begun = false;           // a member stored an order of the team's (the team played together)
  bool anyTrainsAlone = false;  // a member plays a training trial of its own
};

enum class TeamWeekPhase {
  Forming,        // not begun and not complete yet: the members wait for each other
  TrainingAlone,  // not begun, and the members train each on its own
  Ordering,       // the team's weeks wait for its members' orders
};

TeamWeekPhase teamWeekPhase(const TeamGathering& team);

// "Waiting for your team: 2 of 4 here (P07, P12)": `here` are the User IDs
// of the members there, `size` the team's members. In the language of
// `shownTo`, in English without one; the parenthesis is left out while
// nobody is there.
std::string waitingForTeamText(const Prompter* shownTo, const std::vector<std::string>& here,
                               int16_t size);

// "Waiting for the Factory and the Retailer...": `names` are those the week
// waits for, as the reader reads them; empty when it waits for nobody.
std::string waitingForMembersText(const Prompter* shownTo, const std::vector<std::string>& names);

}  // namespace quarn
