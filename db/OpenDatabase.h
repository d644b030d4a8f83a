#pragma once

#include <memory>
#include <string>

#include "db/ActivityMonitor.h"
#include "db/DatabaseChoice.h"
#include "db/DatabaseTables.h"
#include "db/Stores.h"
#include "db/sqlcipher/SqlCipherConnection.h"

namespace quarn {

// The stores of the chosen database. Nothing is opened yet: the first use
// opens the file or connects to the server, and its failure (a missing file,
// a server that cannot be reached, a settings file that names nothing) comes
// from that use, where DatabaseAccess retries and asks. `waiter` is told
// while another program holds the file's lock.
std::unique_ptr<Stores> openStores(const DatabaseChoice& choice, BusyWaiter* waiter = nullptr);
// The same from the login's data folder and the text of its "Setup File" box.
std::unique_ptr<Stores> openStores(const std::string& dataFolder, const std::string& setupText,
                                   BusyWaiter* waiter = nullptr);

// The reads of the moderator's live view, on the chosen database.
std::unique_ptr<ActivityMonitor> openMonitor(const DatabaseChoice& choice);

// The chosen database as whole tables, for its administration.
std::unique_ptr<DatabaseTables> openTables(const DatabaseChoice& choice);

// The schema version the chosen database records (see db/SchemaUpgrade.h).
int schemaVersionOf(const DatabaseChoice& choice);

// Stores that follow the login's choice: the application hands them to its
// DatabaseAccess once, and the login chooses the database behind them.
class ChosenStores final : public Stores {
 public:
  explicit ChosenStores(BusyWaiter* waiter = nullptr);

  // Uses the database `chooseDatabase` picks; the same choice again keeps
  // the open stores (and their connections).
  void choose(const std::string& dataFolder, const std::string& setupText) override;
  void choose(const DatabaseChoice& choice);
  const DatabaseChoice& choice() const { return m_choice; }

  PlanStore& plan() override { return m_current->plan(); }
  ParticipantStore& participants() override { return m_current->participants(); }
  ResultStore& results() override { return m_current->results(); }
  TeamStore& teams() override { return m_current->teams(); }
  ClassStore& classes() override { return m_current->classes(); }
  std::string location() const override { return m_current->location(); }
  DatabasePlace place() const override { return m_choice.place(); }
  // The settings file's outage limit, or else the default.
  std::chrono::milliseconds outageLimit() const override;
  // The file at `location`.
  void setLocation(const std::string& location) override;
  std::optional<SchemaUpgrade> upgradeSchema() override { return m_current->upgradeSchema(); }
  std::function<bool()> answerCheck() const override { return m_current->answerCheck(); }
  // The team store's wakeOnChange, kept for the stores chosen later.
  void wakeOnTeamChange(std::function<void()> wake);

 private:
  BusyWaiter* m_waiter;
  std::function<void()> m_wakeOnTeamChange;
  DatabaseChoice m_choice;
  std::unique_ptr<Stores> m_current;
};

}  // namespace quarn
