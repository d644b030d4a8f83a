#pragma once

// A lab server's team store kept in memory, for games of a team setting on
// a test's database file; the test plays the other members by calling it:
//
//   FakeTeamStore teams;
//   FakeTeamStores stores(db.stores, teams);   // the file's stores, these teams
//   teams.join({"Team", "Green"}, "P2", 2);    // the second member arrives
//   teams.storeOrder({"Team", "Green"}, {1, false, 1, 2, 7, "P2", 900});

#include <algorithm>
#include <stdexcept>

#include "db/Stores.h"

namespace quarn::testing {

class FakeTeamStore final : public TeamStore {
 public:
  TeamJoin join(const TeamKey& key, const std::string& subject, int16_t size,
                const std::string& secret = "") override {
    TeamJoin joined = wouldJoin(key, subject, size);
    if (joined.member && !memberOf(subject)) {
      m_members.push_back({*joined.member, subject, false, true});
      m_changed = true;
    }
    static_cast<void>(secret);
    return joined;
  }
  TeamJoin wouldJoin(const TeamKey& key, const std::string& subject, int16_t size) override {
    TeamJoin join;
    join.team = key.team;
    if (const TeamMember* known = memberOf(subject)) {
      join.member = known->member;
    } else if (static_cast<int16_t>(m_members.size()) < size) {
      join.member = static_cast<int16_t>(m_members.size() + 1);
    } else {
      join.full = true;
    }
    return join;
  }
  std::string fixMembers(const TeamKey&, const std::vector<std::string>&) override { unused(); }
  std::string correctMembers(const TeamKey&, const std::vector<std::string>&) override { unused(); }
  std::vector<TeamMember> members(const TeamKey&) override {
    ++memberReads;
    return m_members;
  }
  bool storeOrder(const TeamKey&, const TypedOrder& order, const std::string& = "") override {
    const bool stored = std::any_of(m_orders.begin(), m_orders.end(), [&](const TypedOrder& o) {
      return o.trial == order.trial && o.training == order.training && o.week == order.week &&
             o.member == order.member;
    });
    if (stored) return false;
    m_orders.push_back(order);
    m_changed = !losesNotifications;
    return true;
  }
  // The time is the test's to judge: a clock order is stored like a typed one.
  bool storeClockOrder(const TeamKey& key, const TypedOrder& order, const std::string&,
                       const std::string& = "") override {
    return storeOrder(key, order);
  }
  std::vector<TypedOrder> orders(const TeamKey&, int16_t trial, bool training) override {
    std::vector<TypedOrder> found;
    for (const TypedOrder& o : m_orders) {
      if (o.trial == trial && o.training == training) found.push_back(o);
    }
    return found;
  }
  TeamTraining training(const TeamKey&, int16_t) override { return {}; }
  void recordMember(const TeamKey&, const TeamTrialMember& row, const std::string& = "") override {
    recorded.push_back(row);
  }
  std::vector<TeamTrialMember> replacements(const TeamKey&, int16_t) override { return {}; }
  TeamTrialMember replace(const TeamKey&, int16_t, const std::string&,
                          const std::function<MemberTrialShape(int16_t)>&) override {
    unused();
  }
  // The open member numbers join the members, as the stores list them.
  void giveOpenMembers(const TeamKey&, int16_t firstOpen, const std::string& player,
                       const TeamTrialRoles& trials) override {
    const auto size = static_cast<int16_t>(trials.empty() ? 0 : trials.front().size());
    for (int16_t member = firstOpen; member <= size; ++member) {
      m_members.push_back({member, "", false, true, player});
    }
    m_changed = true;
  }
  // Answers at once: whether the team changed since the last call.
  bool waitForChange(const TeamKey&, std::chrono::milliseconds) override {
    return std::exchange(m_changed, false);
  }

  std::vector<TeamTrialMember> recorded;
  int memberReads = 0;
  // Orders stored wake nobody, as when a listening connection was lost.
  bool losesNotifications = false;

 private:
  const TeamMember* memberOf(const std::string& subject) const {
    for (const TeamMember& m : m_members) {
      if (m.subject == subject) return &m;
    }
    return nullptr;
  }
  [[noreturn]] static void unused() { throw std::logic_error("not used by a game"); }

  std::vector<TeamMember> m_members;
  std::vector<TypedOrder> m_orders;
  bool m_changed = false;
};

// A database file's stores with the teams of a FakeTeamStore.
class FakeTeamStores final : public Stores {
 public:
  FakeTeamStores(Stores& file, TeamStore& teams) : m_file(file), m_teams(teams) {}
  PlanStore& plan() override { return m_file.plan(); }
  ParticipantStore& participants() override { return m_file.participants(); }
  ResultStore& results() override { return m_file.results(); }
  TeamStore& teams() override { return m_teams; }
  std::string location() const override { return m_file.location(); }
  void setLocation(const std::string& location) override { m_file.setLocation(location); }
  std::optional<SchemaUpgrade> upgradeSchema() override { return m_file.upgradeSchema(); }

 private:
  Stores& m_file;
  TeamStore& m_teams;
};

}  // namespace quarn::testing
