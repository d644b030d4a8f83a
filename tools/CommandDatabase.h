#pragma once

#include <iosfwd>
#include <memory>
#include <string>

#include "base/Random.h"
#include "db/ActivityMonitor.h"
#include "db/DatabaseAccess.h"
#include "db/DatabaseTables.h"
#include "db/OpenDatabase.h"
#include "tools/Commands.h"
#include "tools/ConsolePrompter.h"

namespace quarn::admin {

// The one way a command reaches an experiment database that exists: the
// database a DATABASE argument names (a file, a data folder, a settings file
// or a connection string). A file that is not there is refused before
// anything is read; an older database is upgraded first, which is said once
// on `notices`.
//
// What the command needs of it:
//   access()   the stores, through the one service that retries and asks
//              (its questions go to the console): plans, participants, results
//   tables()   whole tables: CSV, copies, the demo
//   monitor()  the reads of the moderator's live view
class CommandDatabase {
 public:
  explicit CommandDatabase(const std::string& argument);
  CommandDatabase(const std::string& argument, std::ostream& notices);

  DatabaseAccess& access() { return m_access; }
  DatabaseTables& tables();
  ActivityMonitor& monitor();
  const DatabaseChoice& choice() const { return m_choice; }
  // What messages name: the file or the server.
  std::string location() const { return m_choice.location(); }
  // The schema version the database records (see db/SchemaUpgrade.h).
  int schemaVersion() const { return schemaVersionOf(m_choice); }
  // The upgrade the opening made, if any.
  const std::optional<SchemaUpgrade>& upgrade() const { return m_upgrade; }

 private:
  DatabaseChoice m_choice;
  ConsolePrompter m_prompter;
  StandardUniformRandom m_random;
  std::unique_ptr<Stores> m_stores;
  DatabaseAccess m_access{*m_stores, m_prompter, m_random};
  std::optional<SchemaUpgrade> m_upgrade;
  std::unique_ptr<DatabaseTables> m_tables;
  std::unique_ptr<ActivityMonitor> m_monitor;
};

}  // namespace quarn::admin
