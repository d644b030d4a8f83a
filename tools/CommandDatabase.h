#pragma once

#include <filesystem>
#include <string>

#include "base/Errors.h"
#include "base/Random.h"
#include "db/DatabaseAccess.h"
#include "db/SqlCipherStores.h"
#include "tools/ConsolePrompter.h"

namespace quarn::admin {

// An experiment database a command reads, through the one service that
// retries and asks; its questions go to the console. A file that is not
// there is refused before anything is read.
class CommandDatabase {
 public:
  explicit CommandDatabase(const std::string& path) : m_stores(nullptr, path) {
    if (!std::filesystem::is_regular_file(path)) {
      throw QuarnError(kErrFileNotFound, "The file " + path + " was not found");
    }
  }
  DatabaseAccess& access() { return m_access; }

 private:
  ConsolePrompter m_prompter;
  StandardUniformRandom m_random;
  SqlCipherStores m_stores;
  DatabaseAccess m_access{m_stores, m_prompter, m_random};
};

}  // namespace quarn::admin
