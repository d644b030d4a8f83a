#pragma once

#include <optional>
#include <string>

#include "db/PlayingMark.h"
#include "db/SqlCipherConnection.h"

namespace quarn {

// The encrypted file the SQLCipher stores share: where it is, and who is
// told while another program holds its lock.
struct SqlCipherFile {
  std::string path;
  BusyWaiter* waiter = nullptr;
  // A workstation mark's refresh that waits for the next week's rows: it is
  // stored in their transaction, so that a week costs one synced commit.
  mutable std::optional<PlayingMark> pendingTouch;
};

// Stores `file`'s pending mark refresh on `connection`, inside its open
// write transaction; the refresh is no longer pending afterwards.
void storePendingTouch(const SqlCipherFile& file, SqlCipherConnection& connection);

}  // namespace quarn
