#pragma once

#include "db/ActivityMonitor.h"
#include "db/SqlPlanStore.h"
#include "db/Stores.h"
#include "db/sqlcipher/SqlCipherClassStore.h"
#include "db/sqlcipher/SqlCipherParticipantStore.h"
#include "db/sqlcipher/SqlCipherReads.h"
#include "db/sqlcipher/SqlCipherResultStore.h"
#include "db/sqlcipher/SqlCipherTeamStore.h"

namespace quarn {

// The stores over one encrypted file. Each use takes a connection of
// its own (a new one, or in a process that keeps them an idle one, see
// connectTo) and holds no lock after it, so that another workstation can
// write.
class SqlCipherStores final : public Stores {
 public:
  // While another program holds the file's lock, `waiter` (if any) is told.
  explicit SqlCipherStores(BusyWaiter* waiter = nullptr, std::string path = "");

  PlanStore& plan() override { return m_plan; }
  ParticipantStore& participants() override { return m_participants; }
  ResultStore& results() override { return m_results; }
  TeamStore& teams() override { return m_teams; }
  ClassStore& classes() override { return m_classes; }
  ActivityMonitor& monitor() { return m_monitor; }
  std::string location() const override { return m_file.path; }
  void setLocation(const std::string& location) override { m_file.path = location; }
  std::optional<SchemaUpgrade> upgradeSchema() override {
    return upgradeFile(m_file.path, m_file.waiter);
  }
  std::function<bool()> answerCheck() const override {
    return [path = m_file.path] { return fileTakesWrites(path); };
  }

 private:
  SqlCipherFile m_file;
  SqlCipherReads m_reads{m_file};
  SqlPlanStore m_plan{m_reads};
  SqlCipherParticipantStore m_participants{m_file};
  SqlCipherResultStore m_results{m_file};
  SqlCipherTeamStore m_teams{m_file};
  SqlCipherClassStore m_classes{m_file};
  SqlActivityMonitor m_monitor{m_reads};
};

}  // namespace quarn
