#pragma once

// What a team store decides alike on every engine, from rows it has read
// under the team's lock: who joins as which member, which lists of members
// a moderator may fix, how far a team's training has come, and the words of
// its refusals.

#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "db/TeamStore.h"

namespace quarn {

// Team names and User IDs are one name whatever their letter case.
bool sameName(const std::string& a, const std::string& b);

// A member of some team of a setting.
struct SettingMember {
  std::string team;
  TeamMember member;
};

// The key under which the setting's members keep the team: the name as its
// first member (or the moderator) gave it, whatever its letter case now.
TeamKey storedKey(const std::vector<SettingMember>& members, const TeamKey& key);

// The team of the setting other than `key`'s that has `subject` as a member.
std::string otherTeamOf(const std::vector<SettingMember>& members, const TeamKey& key,
                        const std::string& subject);

// What joining comes to; `isNew` when the subject gets a new member number.
struct JoinDecision {
  TeamJoin answer;
  bool isNew = false;
};

JoinDecision decideJoin(const std::vector<SettingMember>& all, const TeamKey& typed,
                        const std::string& subject, int16_t size);

[[noreturn]] void refuseFixing(const TeamKey& key, const std::string& why,
                               const char* done = "fixed");
// Refuses a list of members with none, more than 4, or a name twice.
void checkFixable(const TeamKey& key, const std::vector<std::string>& subjects, const char* done);
// Refuses a User ID that is a member of another team of the setting.
void checkNotInOtherTeam(const std::vector<SettingMember>& all, const TeamKey& key,
                         const std::vector<std::string>& subjects, const char* done);
// Refuses fixing a team that has members already.
[[noreturn]] void refuseFixingPresent(const TeamKey& key, const std::vector<TeamMember>& present);

// Whether `subject` is among the User IDs marked as playing.
bool isLoggedIn(const std::vector<std::string>& marked, const std::string& subject);
// Marks as here each member whose stage was played (`played`) or who is
// logged in now (`loggedIn`); both are read only when a member is not
// known to be here from its row.
void markMembersHere(std::vector<TeamMember>& members,
                     const std::function<std::vector<std::string>()>& loggedIn,
                     const std::function<std::set<int16_t>()>& played);
// A member logged in (`marked`) keeps its member number in a correction:
// its workstation plays it.
void checkLoggedInKeepTheirPlaces(const TeamKey& key, const std::vector<TeamMember>& present,
                                  const std::vector<std::string>& subjects,
                                  const std::vector<std::string>& marked);

[[noreturn]] void refuseReplacing(const TeamKey& key, int16_t member, const std::string& why);
[[noreturn]] void refuseUnknownPlayer(const TeamKey& key, const std::string& player);

// Where a replacement of `member` begins: the first week after
// `highestOrdered` in the team's latest experiment trial `latestTrial`, or
// the next trial's first week once the member ordered all of it.
TeamTrialMember replacementStart(int16_t member, const std::string& subject,
                                 const std::string& player, int16_t latestTrial,
                                 int64_t highestOrdered,
                                 const std::function<MemberTrialShape(int16_t trial)>& shapeOf);

// A member number given to a simulated player from the start, as read
// from the team's datTeam rows.
struct OpenMember {
  int16_t member = 0;
  std::string player;
};

// The team's member numbers from `firstOpen` on, each in each trial of
// `trials` (numbered from 1), played by `player` from week 1 without a
// Subject. Refused when a student (in `members`) has one of them.
std::vector<TeamTrialMember> openMemberRows(const TeamKey& key, int16_t firstOpen,
                                            const std::string& player, const TeamTrialRoles& trials,
                                            const std::vector<TeamMember>& members);
// Lists the open members among the team's students, by member number, as
// here; a number a student has is the student's.
void addOpenMembers(std::vector<TeamMember>& members, const std::vector<OpenMember>& open);
// The members a team of `size` takes by joining: the numbers below its
// first open one.
int16_t studentPlaces(int16_t size, const std::vector<OpenMember>& open);

// How far the team, and `member` in it, has come in training played
// together, from the team's training orders of week 0.
TeamTraining trainingOf(const std::vector<TypedOrder>& marks, int16_t member);

}  // namespace quarn
