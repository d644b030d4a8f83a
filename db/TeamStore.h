#pragma once

#include <chrono>
#include <cstdint>
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

  friend bool operator==(const TypedOrder&, const TypedOrder&) = default;
};

// What joining a team came to.
struct TeamJoin {
  std::optional<int16_t> member;  // the member number, or none when refused
  bool full = false;              // refused: the team has its members already
};

// The teams of team settings (datTeamMember, datTeamOrder, datTeam): who is
// which member, and every order as it was typed. Only the lab server keeps
// teams; a database file refuses every use ("Team settings need the lab
// server (see README)").
class TeamStore {
 public:
  virtual ~TeamStore() = default;

  // Joins `subject` to the team of `size` members: the member number the
  // subject already has (fixed or from an earlier login), else the next free
  // one in order of arrival. A team whose members were fixed, or that has
  // `size` members, takes nobody else.
  virtual TeamJoin join(const TeamKey& key, const std::string& subject, int16_t size) = 0;
  // Fixes the team's members in the order given (member 1 first). Refused
  // once anyone has joined the team.
  virtual void fixMembers(const TeamKey& key, const std::vector<std::string>& subjects) = 0;
  // The team's members by member number.
  virtual std::vector<TeamMember> members(const TeamKey& key) = 0;

  // Stores an order as typed and wakes the team's waiting members. Returns
  // false when that member's order of that week is stored already: the first
  // one counts, so an order sent again after a lost answer is not doubled.
  virtual bool storeOrder(const TeamKey& key, const TypedOrder& order) = 0;
  // The team's typed orders of one trial, by week, then member.
  virtual std::vector<TypedOrder> orders(const TeamKey& key, int16_t trial, bool training) = 0;

  // Waits until the team changes (a member joins, or an order is stored) or
  // `timeout` has passed; true when woken by a change. The server wakes the
  // waiting members itself: nothing is polled.
  virtual bool waitForChange(const TeamKey& key, std::chrono::milliseconds timeout) = 0;
};

// The team store of a database file: refuses every use, saying that team
// settings need the lab server.
class FileTeamStore final : public TeamStore {
 public:
  TeamJoin join(const TeamKey&, const std::string&, int16_t) override { refuse(); }
  void fixMembers(const TeamKey&, const std::vector<std::string>&) override { refuse(); }
  std::vector<TeamMember> members(const TeamKey&) override { refuse(); }
  bool storeOrder(const TeamKey&, const TypedOrder&) override { refuse(); }
  std::vector<TypedOrder> orders(const TeamKey&, int16_t, bool) override { refuse(); }
  bool waitForChange(const TeamKey&, std::chrono::milliseconds) override { refuse(); }

 private:
  [[noreturn]] static void refuse();
};

}  // namespace quarn
