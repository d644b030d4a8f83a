#pragma once

#include <functional>
#include <memory>
#include <string>

#include "db/TeamStore.h"
#include "db/postgres/PgConnectionPool.h"
#include "db/postgres/PgTeamFeed.h"

namespace quarn {

// The teams on a server. A change of a team (a member joining, an order
// stored) is told to the team's waiting members by a notification on the
// team's own channel (quarn_team_ and a hash of the setting and the team),
// whose payload names the setting and the team.
class PgTeamStore final : public TeamStore {
 public:
  // A waiting member listens on one of the pool's connections, or takes
  // the changes from `feed` when the process has one for all its stores.
  explicit PgTeamStore(PgConnectionPool& pool, std::shared_ptr<PgTeamFeed> feed = nullptr)
      : m_pool(pool), m_feed(std::move(feed)) {}

  TeamJoin join(const TeamKey& key, const std::string& subject, int16_t size,
                const std::string& secret) override;
  TeamJoin wouldJoin(const TeamKey& key, const std::string& subject, int16_t size) override;
  std::string fixMembers(const TeamKey& key, const std::vector<std::string>& subjects) override;
  std::string correctMembers(const TeamKey& key, const std::vector<std::string>& subjects) override;
  std::vector<TeamMember> members(const TeamKey& key) override;
  bool storeOrder(const TeamKey& key, const TypedOrder& order, const std::string& secret) override;
  bool storeClockOrder(const TeamKey& key, const TypedOrder& order, const std::string& caller,
                       const std::string& secret) override;
  std::vector<TypedOrder> orders(const TeamKey& key, int16_t trial, bool training) override;
  TeamTraining training(const TeamKey& key, int16_t member) override;
  void recordMember(const TeamKey& key, const TeamTrialMember& row,
                    const std::string& secret) override;
  std::vector<TeamTrialMember> replacements(const TeamKey& key, int16_t trial) override;
  TeamTrialMember replace(const TeamKey& key, int16_t member, const std::string& player,
                          const std::function<MemberTrialShape(int16_t trial)>& shapeOf) override;
  // The first wait (for a team) only starts listening and returns at once
  // as if woken, so that the caller looks again: a change between its last
  // look and the listening is not missed, and none after it is.
  void giveOpenMembers(const TeamKey& key, int16_t firstOpen, const std::string& player,
                       const TeamTrialRoles& trials) override;
  bool waitForChange(const TeamKey& key, std::chrono::milliseconds timeout) override;
  // Only with the process's feed: a workstation's own listening connection
  // tells nobody but its waits.
  void wakeOnChange(std::function<void()> wake) override;

 private:
  PgConnectionPool& m_pool;
  std::shared_ptr<PgTeamFeed> m_feed;
  std::shared_ptr<PgTeamFeed::Subscription> m_subscription;  // to the team waited for last
  std::function<void()> m_wake;
};

}  // namespace quarn
