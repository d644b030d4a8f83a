#include "db/ClassTeams.h"

#include <algorithm>
#include <map>

namespace quarn {

std::vector<int> classTeamSizes(int students, int size, const std::string& leftover) {
  if (students <= 0 || size <= 0) return {};
  const int count = (students + size - 1) / size;
  std::vector<int> sizes;
  if (leftover == kLeftoverSpread) {
    for (int team = 0; team < count; ++team) {
      sizes.push_back(students / count + (team < students % count ? 1 : 0));
    }
    return sizes;
  }
  sizes.assign(static_cast<size_t>(students / size), size);
  if (students % size != 0) sizes.push_back(students % size);
  return sizes;
}

namespace {

int teamSizeOf(const TeamTrialRoles& trials) {
  size_t size = 0;
  for (const std::vector<std::string>& roles : trials) size = std::max(size, roles.size());
  return static_cast<int>(size);
}

// Puts the class's students who wait for the door into teams of the
// class's sizes, shuffled, and fixes them in the team store.
void formTeamsAtRandom(ClassStore& classes, TeamStore& teams, const ClassRow& row, int teamSize,
                       const std::function<size_t(size_t)>& shuffleIndex, ClosedDoor& door) {
  std::vector<std::string> waiting;
  int usedTeams = 0;
  for (const ClassStudent& student : classes.students(row.code)) {
    if (student.team.empty()) {
      waiting.push_back(student.subject);
    } else {
      ++usedTeams;  // a team name taken before counts as used
    }
  }
  // Fisher-Yates, drawing from the end.
  for (size_t i = waiting.size(); i > 1; --i) std::swap(waiting[i - 1], waiting[shuffleIndex(i)]);
  size_t next = 0;
  for (const int size : classTeamSizes(static_cast<int>(waiting.size()), teamSize, row.leftover)) {
    const std::string team = classTeamName(row.code, ++usedTeams);
    std::vector<std::string> members(waiting.begin() + static_cast<std::ptrdiff_t>(next),
                                     waiting.begin() + static_cast<std::ptrdiff_t>(next) + size);
    next += static_cast<size_t>(size);
    teams.fixMembers({row.setting, team}, members);
    for (const std::string& subject : members) classes.place(row.code, subject, team);
    door.teams.emplace_back(team, std::move(members));
  }
}

// Gives the open member numbers of each team with fewer students than
// `teamSize` to the class's player. The students take the numbers from 1
// (fixed in order, or joining one after the other), so the open ones follow
// them, even while a student placed by arrival has not joined yet.
void giveSmallerTeamsOpenStages(ClassStore& classes, TeamStore& teams, const ClassRow& row,
                                const TeamTrialRoles& trials, ClosedDoor& door) {
  const int teamSize = teamSizeOf(trials);
  std::map<std::string, int> students;
  for (const ClassStudent& student : classes.students(row.code)) {
    if (!student.team.empty()) ++students[student.team];
  }
  for (const auto& [team, count] : students) {
    if (count >= teamSize) continue;
    door.smaller.push_back({team, count, teamSize});
    if (row.leftoverPlayer.empty()) continue;
    teams.giveOpenMembers({row.setting, team}, static_cast<int16_t>(count + 1), row.leftoverPlayer,
                          trials);
  }
  if (!row.leftoverPlayer.empty()) door.player = row.leftoverPlayer;
}

}  // namespace

ClosedDoor closeClassDoor(ClassStore& classes, TeamStore& teams, const std::string& code,
                          const TeamTrialRoles& trials,
                          const std::function<size_t(size_t)>& shuffleIndex) {
  ClosedDoor door;
  const std::optional<ClassRow> row = classes.find(code);
  if (!row || row->state != ClassState::Open) return door;
  const int teamSize = teamSizeOf(trials);
  if (teamSize > 0) {
    if (row->forming == ClassForming::Random) {
      formTeamsAtRandom(classes, teams, *row, teamSize, shuffleIndex, door);
    }
    giveSmallerTeamsOpenStages(classes, teams, *row, trials, door);
  }
  classes.setState(row->code, ClassState::Closed);
  door.closed = true;
  return door;
}

StartedClass startClass(ClassStore& classes, TeamStore& teams, const std::string& code,
                        const TeamTrialRoles& trials,
                        const std::function<size_t(size_t)>& shuffleIndex) {
  StartedClass start;
  const std::optional<ClassRow> row = classes.find(code);
  if (!row || row->state == ClassState::Ended) return start;
  if (row->state == ClassState::Open) {
    start.door = closeClassDoor(classes, teams, row->code, trials, shuffleIndex);
  }
  start.started = classes.setState(row->code, ClassState::Started);
  return start;
}

}  // namespace quarn
