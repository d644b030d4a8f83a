#pragma once

// Connections to encrypted files kept open between uses. Opening one costs
// the key's setup, a read of the schema and an empty page cache; a server
// that plays many sessions on one file uses it many times a second. A
// process that calls keepIdleConnections() hands a released connection to
// the next use of the same file and mode instead of closing it; any other
// process (the default) opens a connection per use and closes it after.

#include <cstddef>
#include <memory>
#include <string>

#include "db/sqlcipher/SqlCipherConnection.h"

namespace quarn {

// Gives a connection back: to the pool when it may be used again, closed
// otherwise.
struct ConnectionRelease {
  void operator()(SqlCipherConnection* connection) const;
};

// One user's connection at a time: while it is held nobody else gets it.
using PooledConnection = std::unique_ptr<SqlCipherConnection, ConnectionRelease>;

// A connection to `path` in `mode`: an idle one of the pool when it still
// shows the file at `path` as it was opened (not a file moved or copied
// there since), a new one otherwise. `waiter` is told of locks while it is
// held. Create is never pooled.
PooledConnection connectTo(const std::string& path, OpenMode mode, BusyWaiter* waiter = nullptr);

// From now on the process keeps up to `perFile` idle connections for each
// file and mode; 0 (the default) closes every connection when it is
// released, and closes the idle ones now.
void keepIdleConnections(std::size_t perFile);

// How many idle connections the pool holds now, for all files.
std::size_t idleConnections();

}  // namespace quarn
