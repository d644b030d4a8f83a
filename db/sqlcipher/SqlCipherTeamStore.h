#pragma once

#include <cstdint>
#include <string>

#include "db/TeamStore.h"
#include "db/sqlcipher/SqlCipherFile.h"

namespace quarn {

// The teams of an encrypted file. Every change is one write transaction
// that takes the file's write lock first (BEGIN IMMEDIATE): workstations
// and sessions that join or order at the same moment, in this process or
// another, take their turns, so a member number or a week's order is never
// given twice. A change wakes this process's waiting members of the team at
// once (TeamChanges); another process's members find it when they look at
// the team again.
//
// The file has no roles: a write that carries a workstation's secret is
// checked against the member's mark in its transaction, and refused as the
// server refuses it; one without (the moderator's administration) is not.
class SqlCipherTeamStore final : public TeamStore {
 public:
  explicit SqlCipherTeamStore(const SqlCipherFile& file) : m_file(file) {}
  ~SqlCipherTeamStore() override;
  SqlCipherTeamStore(const SqlCipherTeamStore&) = delete;
  SqlCipherTeamStore& operator=(const SqlCipherTeamStore&) = delete;

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
  void giveOpenMembers(const TeamKey& key, int16_t firstOpen, const std::string& player,
                       const TeamTrialRoles& trials) override;
  // The first wait for a team returns at once as if woken, so that the
  // caller looks again: a change between its last look and this wait is
  // not missed, and none after it is.
  bool waitForChange(const TeamKey& key, std::chrono::milliseconds timeout) override;
  // Told by this process's changes only; other processes' are found by
  // looking again.
  void wakeOnChange(std::function<void()> wake) override;

 private:
  // The team's name on the process's board of changes.
  std::string boardName(const TeamKey& key) const;
  void tellChange(const TeamKey& key) const;

  const SqlCipherFile& m_file;
  std::string m_watched;  // the board name of the team waited for
  uint64_t m_seen = 0;    // its changes seen so far
  std::function<void()> m_wake;
};

}  // namespace quarn
