#pragma once

#include <memory>
#include <optional>
#include <string>

#include "db/PlayingMark.h"
#include "db/sqlcipher/ConnectionPool.h"

namespace quarn {

// The encrypted file the SQLCipher stores share: where it is, and who is
// told while another program holds its lock.
struct SqlCipherFile {
  std::string path;
  BusyWaiter* waiter = nullptr;
  // A workstation mark's refresh that waits for the next week's rows: it is
  // stored in their transaction, so that a week costs one synced commit.
  mutable std::optional<PlayingMark> pendingTouch;
  // The connection on which that refresh was checked, handed on to the
  // week's rows: a week turn opens the file once. It holds no lock while
  // it waits.
  mutable PooledConnection checkedConnection;
};

// The connection `file`'s refresh was checked on, or a new one when there
// is none (or it is to another file); the file keeps none afterwards.
PooledConnection takeCheckedConnection(const SqlCipherFile& file);

// Stores `file`'s pending mark refresh on `connection`, inside its open
// write transaction; the refresh is no longer pending afterwards.
void storePendingTouch(const SqlCipherFile& file, SqlCipherConnection& connection);

}  // namespace quarn
