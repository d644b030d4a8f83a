#include "db/ClassTeams.h"

#include <algorithm>

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

ClosedDoor closeClassDoor(ClassStore& classes, TeamStore& teams, const std::string& code,
                          int teamSize, const std::function<size_t(size_t)>& shuffleIndex) {
  ClosedDoor door;
  const std::optional<ClassRow> row = classes.find(code);
  if (!row || row->state != ClassState::Open) return door;
  if (row->forming == ClassForming::Random && teamSize > 0) {
    std::vector<std::string> waiting;
    int usedTeams = 0;
    for (const ClassStudent& student : classes.students(row->code)) {
      if (student.team.empty()) {
        waiting.push_back(student.subject);
      } else {
        ++usedTeams;  // a team name taken before counts as used
      }
    }
    // Fisher-Yates, drawing from the end.
    for (size_t i = waiting.size(); i > 1; --i) std::swap(waiting[i - 1], waiting[shuffleIndex(i)]);
    size_t next = 0;
    for (const int size :
         classTeamSizes(static_cast<int>(waiting.size()), teamSize, row->leftover)) {
      const std::string team = classTeamName(row->code, ++usedTeams);
      std::vector<std::string> members(waiting.begin() + static_cast<std::ptrdiff_t>(next),
                                       waiting.begin() + static_cast<std::ptrdiff_t>(next) + size);
      next += static_cast<size_t>(size);
      teams.fixMembers({row->setting, team}, members);
      for (const std::string& subject : members) classes.place(row->code, subject, team);
      door.teams.emplace_back(team, std::move(members));
    }
  }
  classes.setState(row->code, ClassState::Closed);
  door.closed = true;
  return door;
}

StartedClass startClass(ClassStore& classes, TeamStore& teams, const std::string& code,
                        int teamSize, const std::function<size_t(size_t)>& shuffleIndex) {
  StartedClass start;
  const std::optional<ClassRow> row = classes.find(code);
  if (!row || row->state == ClassState::Ended) return start;
  if (row->state == ClassState::Open) {
    start.door = closeClassDoor(classes, teams, row->code, teamSize, shuffleIndex);
  }
  start.started = classes.setState(row->code, ClassState::Started);
  return start;
}

}  // namespace quarn
