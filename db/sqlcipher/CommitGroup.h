#pragma once

// The writes of an encrypted file, each committed in a transaction of its
// own, or, in a process that groups them (the browser's server), many
// threads' writes in one transaction and one synced commit.
//
// A synced commit waits for the disk (a few milliseconds) while it holds
// the file's one write lock, so a server with hundreds of sessions on one
// file would be bound by the disk's syncs. Grouped, a thread whose write
// finds no group committing leads one: it takes every write queued by
// then, runs each under a savepoint of its own inside one BEGIN IMMEDIATE,
// commits once and releases every writer of the group. Writes queued in
// the meantime form the next group. Each writer still returns only once
// its write is on disk (or has failed), so nothing moves on before its
// write is stored; the file keeps its rollback journal and stays safe to
// copy and to share with other programs.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "db/sqlcipher/SqlCipherConnection.h"

namespace quarn {

// Whether a write's commit waits until the disk has it. Results and teams
// do; the workstations' marks do not (a refresh lost to a power cut costs
// nothing). A group commits synced when any of its writes is.
enum class Durability { Unsynced, Synced };

// One write: statements run on `db` inside a write transaction that holds
// the file's lock. It may read what it decides on; it must not begin,
// commit or roll back itself, nor write through writeToFile (its group
// would wait for itself). A write that raises stores nothing. It runs on
// the thread that leads its group, while its own writer waits, and may be
// run again when another write's failure undid the group's transaction:
// what it tells its writer it sets anew each time.
using FileWrite = std::function<void(SqlCipherConnection& db)>;

// Runs `write` on the file at `path` and commits it: in a transaction of
// its own, or where the process groups commits, in the next group's.
// Returns once the write is committed; a failure of the write or of its
// commit is raised here, to this caller alone, and none of the write is
// stored. `waiter` is told of other programs' locks.
void writeToFile(const std::string& path, BusyWaiter* waiter, Durability durability,
                 const FileWrite& write);

// From now on (true) the process commits the writes of writeToFile to one
// file in groups; false (the default) gives each write its commit.
void groupFileCommits(bool on);
bool fileCommitsGrouped();

// How many commits the process's groups have made, and how many writes
// they committed, since it began: the writes per commit of a run.
struct GroupCounts {
  uint64_t commits = 0;
  uint64_t writes = 0;
};
GroupCounts groupCounts();

// How many writes to the file at `path` wait for a group now (the one
// committing not counted).
std::size_t writesWaiting(const std::string& path);

}  // namespace quarn
