#pragma once

#include <chrono>
#include <functional>
#include <string>

#include "db/ClassStore.h"
#include "db/DatabaseChoice.h"
#include "db/ParticipantStore.h"
#include "db/PlanStore.h"
#include "db/ResultStore.h"
#include "db/SchemaUpgrade.h"
#include "db/TeamStore.h"

namespace quarn {

// How long a lost server is waited for, in short tries behind the waiting
// notice, before the moderator is asked (unless the settings file says).
inline constexpr std::chrono::seconds kDefaultOutageLimit{60};

// The stores of one experiment database, and where it is. All SQL of
// the product lies behind them. The encrypted file is the first
// implementation (SqlCipherStores); a server engine implements the same.
class Stores {
 public:
  virtual ~Stores() = default;
  virtual PlanStore& plan() = 0;
  virtual ParticipantStore& participants() = 0;
  virtual ResultStore& results() = 0;
  // The teams of team settings.
  virtual TeamStore& teams() = 0;
  // The classes that students join by a code, and their students.
  virtual ClassStore& classes() { return refusingClassStore(); }
  // Where the database is (a file's path), as messages name it.
  virtual std::string location() const = 0;
  virtual void setLocation(const std::string& location) = 0;
  // Which database this is, for the moderator: the file's path, or the
  // server's host, port and database.
  virtual DatabasePlace place() const {
    DatabasePlace file;
    file.file = location();
    return file;
  }
  // Uses the database that the login's "Setup File" box names. Stores of
  // one engine take the box as a file in `dataFolder`; ChosenStores (in
  // db/OpenDatabase.h) may choose a server (see chooseDatabase).
  virtual void choose(const std::string& dataFolder, const std::string& setupText) {
    setLocation(dataFolder + "/" + setupText);
  }
  // Upgrades an older database to the schema this program writes; returns
  // the upgrade done, if any. Refuses a database newer than the program
  // (kErrUnrecognizedFormat).
  virtual std::optional<SchemaUpgrade> upgradeSchema() { return std::nullopt; }
  // How long a lost server (or a file another program holds) is waited for
  // before the moderator is asked.
  virtual std::chrono::milliseconds outageLimit() const { return kDefaultOutageLimit; }
  // Whether the database answers now (the server takes a connection, the
  // file can be written): a check that any thread may run, holding nothing
  // of the stores. Empty where there is none.
  virtual std::function<bool()> answerCheck() const { return {}; }
};

}  // namespace quarn
