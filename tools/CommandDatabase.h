#pragma once

#include <memory>
#include <string>

#include "base/Random.h"
#include "db/DatabaseAccess.h"
#include "db/OpenDatabase.h"
#include "tools/Commands.h"
#include "tools/ConsolePrompter.h"

namespace quarn::admin {

// The experiment database a DATABASE argument names (a file, a data folder,
// a settings file or a connection string), read through the one service that
// retries and asks; its questions go to the console. A file that is not
// there is refused before anything is read.
class CommandDatabase {
 public:
  explicit CommandDatabase(const std::string& argument)
      : m_choice(existingDatabase(argument)), m_stores(openStores(m_choice)) {}
  DatabaseAccess& access() { return m_access; }
  // What messages name: the file or the server.
  std::string location() const { return m_choice.location(); }

 private:
  DatabaseChoice m_choice;
  ConsolePrompter m_prompter;
  StandardUniformRandom m_random;
  std::unique_ptr<Stores> m_stores;
  DatabaseAccess m_access{*m_stores, m_prompter, m_random};
};

}  // namespace quarn::admin
