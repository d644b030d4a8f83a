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

// What closing a class's door came to.
struct ClosedDoor {
  bool closed = false;  // false: the class was not open
  // The teams formed at random now, each with its members in order.
  std::vector<std::pair<std::string, std::vector<std::string>>> teams;
};

// Closes the door of the open class `code`: nobody joins any more. A class
// that forms teams at random (`teamSize` above 0: a team setting) puts its
// waiting students, shuffled by `shuffleIndex` (a number below its
// argument a call), into teams of the class's sizes, fixed in the team
// store in that order, and records each student's team.
ClosedDoor closeClassDoor(ClassStore& classes, TeamStore& teams, const std::string& code,
                          int teamSize, const std::function<size_t(size_t)>& shuffleIndex);

// What starting a class came to.
struct StartedClass {
  bool started = false;  // false: there is no such class, or it ended
  ClosedDoor door;       // the door closed by the start (the class was open)
};

// Starts the class `code`: its students, held until now, play. An open
// class's door closes first, exactly as closeClassDoor closes it; a paused
// class goes on. An ended class stays ended.
StartedClass startClass(ClassStore& classes, TeamStore& teams, const std::string& code,
                        int teamSize, const std::function<size_t(size_t)>& shuffleIndex);

}  // namespace quarn
