#include "db/OpenDatabase.h"

#include "db/SchemaUpgrade.h"
#include "db/postgres/PgSchema.h"
#include "db/postgres/PgStores.h"
#include "db/postgres/PgTables.h"
#include "db/sqlcipher/SqlCipherStores.h"
#include "db/sqlcipher/SqlCipherTables.h"

namespace quarn {

namespace {

template <class StoresT>
class OwnMonitor final : public ActivityMonitor {
 public:
  template <class... Args>
  explicit OwnMonitor(Args&&... args) : m_stores(std::forward<Args>(args)...) {}
  std::vector<LatestWeek> latestWeeks(const std::string& date,
                                      const std::string& timeOfDay) override {
    return m_stores.monitor().latestWeeks(date, timeOfDay);
  }
  std::vector<PlayingMark> playingMarks() override { return m_stores.monitor().playingMarks(); }
  std::vector<TeamActivity> teams() override { return m_stores.monitor().teams(); }

 private:
  StoresT m_stores;
};

std::function<std::string()> connectionOf(const DatabaseChoice& choice) {
  return [choice] { return choice.connectionString(); };
}

}  // namespace

std::unique_ptr<Stores> openStores(const DatabaseChoice& choice, BusyWaiter* waiter) {
  if (choice.engine == DatabaseEngine::File) {
    return std::make_unique<SqlCipherStores>(waiter, choice.file);
  }
  return std::make_unique<PgStores>(choice.location(), connectionOf(choice));
}

std::unique_ptr<Stores> openStores(const std::string& dataFolder, const std::string& setupText,
                                   BusyWaiter* waiter) {
  return openStores(chooseDatabase(dataFolder, setupText), waiter);
}

std::unique_ptr<ActivityMonitor> openMonitor(const DatabaseChoice& choice) {
  if (choice.engine == DatabaseEngine::File) {
    return std::make_unique<OwnMonitor<SqlCipherStores>>(nullptr, choice.file);
  }
  return std::make_unique<OwnMonitor<PgStores>>(choice.location(), connectionOf(choice));
}

std::unique_ptr<DatabaseTables> openTables(const DatabaseChoice& choice) {
  if (choice.engine == DatabaseEngine::File) return std::make_unique<SqlCipherTables>(choice.file);
  return std::make_unique<PgTables>(choice.location(), connectionOf(choice));
}

int schemaVersionOf(const DatabaseChoice& choice) {
  if (choice.engine == DatabaseEngine::File) {
    SqlCipherConnection connection(choice.file, OpenMode::ReadOnly);
    return fileSchemaVersion(connection);
  }
  PgConnection connection(choice.connectionString());
  return serverSchemaVersion(connection);
}

ChosenStores::ChosenStores(BusyWaiter* waiter)
    : m_waiter(waiter), m_current(openStores(m_choice, waiter)) {}

void ChosenStores::choose(const std::string& dataFolder, const std::string& setupText) {
  choose(chooseDatabase(dataFolder, setupText));
}

void ChosenStores::choose(const DatabaseChoice& choice) {
  if (choice == m_choice) return;
  m_current = openStores(choice, m_waiter);
  m_choice = choice;
  if (m_wakeOnTeamChange) m_current->teams().wakeOnChange(m_wakeOnTeamChange);
}

void ChosenStores::wakeOnTeamChange(std::function<void()> wake) {
  m_wakeOnTeamChange = std::move(wake);
  m_current->teams().wakeOnChange(m_wakeOnTeamChange);
}

std::chrono::milliseconds ChosenStores::outageLimit() const {
  try {
    if (const std::optional<std::chrono::seconds> limit = m_choice.outageLimit()) return *limit;
  } catch (const QuarnError&) {
    // The connection refuses the faulty value itself; until then the default holds.
  }
  return kDefaultOutageLimit;
}

void ChosenStores::setLocation(const std::string& location) {
  DatabaseChoice file;
  file.file = location;
  choose(file);
}

}  // namespace quarn
