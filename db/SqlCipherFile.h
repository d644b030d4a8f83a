#pragma once

#include <string>

#include "db/SqlCipherConnection.h"

namespace quarn {

// The encrypted file the SQLCipher stores share: where it is, and who is
// told while another program holds its lock.
struct SqlCipherFile {
  std::string path;
  BusyWaiter* waiter = nullptr;
};

}  // namespace quarn
