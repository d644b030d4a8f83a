#pragma once

#include <functional>
#include <string>
#include <vector>

#include "db/ClassStore.h"
#include "db/TeamStore.h"

namespace quarn {

// The sizes of the teams that `students` students form in teams of `size`
// members, as the class's leftover choice says: full teams and a smaller
// last one, or (spread) as many teams with sizes that differ by one at most.
std::vector<int> classTeamSizes(int students, int size, const std::string& leftover);

// A team of the class with fewer students than the setting's teams have
// members: the class's LeftoverPlayer plays its open stages.
struct SmallerTeam {
  std::string team;
  int students = 0;
  int size = 0;

  friend bool operator==(const SmallerTeam&, const SmallerTeam&) = default;
};

// What closing a class's door came to.
struct ClosedDoor {
  bool closed = false;  // false: the class was not open
  // The teams formed at random now, each with its members in order.
  std::vector<std::pair<std::string, std::vector<std::string>>> teams;
  // The teams whose open member numbers went to `player`.
  std::vector<SmallerTeam> smaller;
  std::string player;
};

// Closes the door of the open class `code`: nobody joins any more. A class
// that forms teams at random (on a team setting: `trials` names each
// experiment trial's member stages, and is empty for a setting played
// alone) puts its waiting students, shuffled by `shuffleIndex` (a number
// below its argument a call), into teams of the class's sizes, fixed in the
// team store in that order, and records each student's team. Then each team
// of the class with fewer students than members, however it formed, gives
// its open member numbers to the class's LeftoverPlayer in the team store:
// the team plays with the students it has.
ClosedDoor closeClassDoor(ClassStore& classes, TeamStore& teams, const std::string& code,
                          const TeamTrialRoles& trials,
                          const std::function<size_t(size_t)>& shuffleIndex);

// What starting a class came to.
struct StartedClass {
  bool started = false;  // false: there is no such class, or it ended
  ClosedDoor door;       // the door closed by the start (the class was open)
};

// Starts the class `code`: its students, held until now, play. An open
// class's door closes first, exactly as closeClassDoor closes it; a paused
// class goes on. An ended class stays ended.
StartedClass startClass(ClassStore& classes, TeamStore& teams, const std::string& code,
                        const TeamTrialRoles& trials,
                        const std::function<size_t(size_t)>& shuffleIndex);

}  // namespace quarn
