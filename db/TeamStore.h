#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace quarn {

// A team of a team setting: the name its members typed.
struct TeamKey {
  std::string setting;
  std::string team;
};

// A member of a team: a row of datTeamMember.
struct TeamMember {
  int16_t member = 0;  // 1 to 4
  std::string subject;
  bool fixed = false;  // fixed by the moderator before anyone joined
  // Counted as here while the team forms: a member who joined by arriving,
  // or a fixed one once logged in (marked as playing the setting) or once it
  // has played with the team.
  bool here = false;
  // A member number no student took (a class's smaller team): the simulated
  // player of this name plays its stage from the start, and `subject` is
  // empty. It counts as here.
  std::string player{};

  friend bool operator==(const TeamMember&, const TeamMember&) = default;
};

// One order a member typed: a row of datTeamOrder.
struct TypedOrder {
  int16_t trial = 0;
  bool training = false;
  int16_t week = 0;
  int16_t member = 0;
  int32_t order = 0;
  std::string subject;
  int32_t transactionTime = 0;  // the member's decision time in milliseconds
  bool clock = false;           // made by the week clock, not typed

  friend bool operator==(const TypedOrder&, const TypedOrder&) = default;
};

// Who plays a member's stage in one experiment trial of a team: a row of
// datTeam. `player` names the simulated player that plays the stage from
// week `fromWeek` to the trial's end, when the moderator replaced the member.
struct TeamTrialMember {
  int16_t trial = 0;
  int16_t member = 0;
  std::string role;
  std::string subject;
  std::string player;
  int16_t fromWeek = 0;

  friend bool operator==(const TeamTrialMember&, const TeamTrialMember&) = default;
};

// What a replacement needs to know of a trial of the setting: its number of
// weeks and the stage the member plays in it.
struct MemberTrialShape {
  int16_t weeks = 0;
  std::string role;
};

// How far a team has come in training played together. Each member's
// workstation stores an order of week 0 when it begins a training trial:
// Trial is the team's count of training trials begun, Order which training
// trial of the plan it is, TransactionTime the Trial number under which the
// member records it. One of Trial 0 says that the team's training is over
// (played to its end, or skipped by a moderator's password).
struct TeamTraining {
  int16_t attempt = 0;  // the latest training trial a member began; 0 before any
  int16_t run = 0;      // which training trial of the plan that one is, from 0
  bool over = false;
  // The latest training trial the asking member began, which training
  // trial of the plan it is, and the Trial number the member records it
  // under; all 0 before any.
  int16_t ownAttempt = 0;
  int16_t ownRun = 0;
  int16_t ownTrial = 0;
};

// The stage (a role's name) each member number plays, member 1 first, in
// each experiment trial of a team setting in play order.
using TeamTrialRoles = std::vector<std::vector<std::string>>;

// What joining a team came to.
struct TeamJoin {
  std::optional<int16_t> member;  // the member number, or none when refused
  bool full = false;              // refused: the team has its members already
  std::string team;               // the team's name as its first member gave it
  std::string otherTeam;          // refused: the subject is a member of this team
};

// The teams of team settings (datTeamMember, datTeamOrder, datTeam): who is
// which member, and every order as it was typed, on the lab server or in a
// database file alike.
//
// A workstation writes a member's rows only with the secret of the
// member's workstation mark (`secret`, PlayingMark::token): they are
// refused otherwise ("This workstation does not hold the mark of ..."), so
// that one workstation cannot join, order or record for another's
// participant. The moderator's administration (the server's table owner,
// or anyone on a file) writes without one.
class TeamStore {
 public:
  virtual ~TeamStore() = default;

  // Team names and User IDs are compared as foldedName() gives them: "green"
  // joins team Green, and P07 is the member the moderator fixed as p07.
  //
  // Joins `subject` to the team of `size` members: the member number the
  // subject already has (fixed or from an earlier login), else the next free
  // one in order of arrival. A team whose members were fixed, or that has
  // `size` members, takes nobody else, and a member of another team of the
  // setting is refused (a User ID belongs to one team per setting).
  virtual TeamJoin join(const TeamKey& key, const std::string& subject, int16_t size,
                        const std::string& secret = "") = 0;
  // What join would answer, writing nothing (the member number a new member
  // would get), so that a refusal comes before the participant is
  // registered.
  virtual TeamJoin wouldJoin(const TeamKey& key, const std::string& subject, int16_t size) = 0;
  // Fixes the team's members in the order given (member 1 first). Refused
  // once anyone has joined the team, and for a member of another team of
  // the setting. Both return the team's name as stored.
  virtual std::string fixMembers(const TeamKey& key, const std::vector<std::string>& subjects) = 0;
  // Fixes the team's members anew, whoever joined or was fixed before, as
  // long as the team has not played (no typed order, no datTeam row) and no
  // member logged in would lose or change its member number.
  virtual std::string correctMembers(const TeamKey& key,
                                     const std::vector<std::string>& subjects) = 0;
  // The team's members by member number.
  virtual std::vector<TeamMember> members(const TeamKey& key) = 0;

  // Stores an order as typed, dated by the database's clock (the server's,
  // or the writing computer's for a file), and wakes the
  // team's waiting members. Returns false when that member's order of that
  // week is stored already (the first one counts, so an order sent again
  // after a lost answer is not doubled), or when a simulated player replaces
  // the member in that experiment trial from that week on: nothing is stored.
  virtual bool storeOrder(const TeamKey& key, const TypedOrder& order,
                          const std::string& secret = "") = 0;
  // Stores the week clock's order for `order.member` (`order.subject`),
  // made by the workstation of `caller`, a member of the team, under the
  // secret of caller's mark; dated and woken as storeOrder. For another
  // member it is stored only once the week's time ran out by the server's
  // clock: the week starts when the last order of the week before was
  // stored (week 1: when its first order was), and lasts the setting's
  // WeekSeconds. Returns false, storing nothing, before that, or when the
  // member's order of the week is stored already (the first counts, so
  // nothing is doubled when members do it at once, or when the late
  // member's own order comes at the same moment), or when a simulated
  // player replaces the member.
  virtual bool storeClockOrder(const TeamKey& key, const TypedOrder& order,
                               const std::string& caller, const std::string& secret = "") = 0;
  // The team's typed orders of one trial, by week, then member.
  virtual std::vector<TypedOrder> orders(const TeamKey& key, int16_t trial, bool training) = 0;

  // How far the team, and `member` in it, has come in training played
  // together.
  virtual TeamTraining training(const TeamKey& key, int16_t member) = 0;

  // Records that `row.member` plays `row.role` in the team's trial
  // `row.trial`; a row that is there already (the member's, or the
  // moderator's replacement) is kept as it is.
  virtual void recordMember(const TeamKey& key, const TeamTrialMember& row,
                            const std::string& secret = "") = 0;
  // The replaced members of the team's experiment trial `trial`.
  virtual std::vector<TeamTrialMember> replacements(const TeamKey& key, int16_t trial) = 0;
  // Replaces `member` by the simulated player `player` from the first week
  // the member has not ordered yet, in the team's latest experiment trial
  // (the next one, as `shapeOf` tells, when the member ordered all of its
  // weeks), to that trial's end; under the team's lock, so that no order of
  // the member is stored for those weeks afterwards (storeOrder returns
  // false). Wakes the team's waiting members. Returns the replacement.
  virtual TeamTrialMember replace(
      const TeamKey& key, int16_t member, const std::string& player,
      const std::function<MemberTrialShape(int16_t trial)>& shapeOf) = 0;

  // Gives the team's member numbers from `firstOpen` to the setting's last
  // (as `trials` names them) to the simulated player `player` from the
  // start: a datTeam row of each in each experiment trial (Player, FromWeek
  // 1, no Subject), so that the team plays with the students it has. Such a
  // member counts as here (members() lists it with `player`), nobody joins
  // in its place, and in training played together the player plays its
  // stage too. Rows there already are kept, so giving again changes
  // nothing. Refused for a member number a student has, and for a player
  // tblPlayer does not name. Wakes the team's waiting members.
  virtual void giveOpenMembers(const TeamKey& key, int16_t firstOpen, const std::string& player,
                               const TeamTrialRoles& trials) = 0;

  // Waits until the team changes (a member joins, or an order is stored) or
  // `timeout` has passed; true when woken by a change. The server wakes the
  // waiting members itself: nothing is polled. A file wakes the members
  // waiting in the process that made the change; members in other
  // processes find it when they look at the team again.
  virtual bool waitForChange(const TeamKey& key, std::chrono::milliseconds timeout) = 0;
  // From now on `wake` is called, from any thread, soon after a change of
  // the team waited for last, so that a caller that looks only when told (a
  // server's session, which never waits) learns of it at once. Stores that
  // cannot tell leave it uncalled; their callers look from time to time.
  virtual void wakeOnChange(std::function<void()> /*wake*/) {}
};

}  // namespace quarn
