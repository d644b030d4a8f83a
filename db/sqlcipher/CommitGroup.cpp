#include "db/sqlcipher/CommitGroup.h"

#include <sqlcipher/sqlite3.h>

#include <atomic>
#include <condition_variable>
#include <exception>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "db/DbError.h"
#include "db/sqlcipher/ConnectionPool.h"

namespace quarn {

namespace {

std::atomic<bool> g_grouped{false};
std::atomic<uint64_t> g_commits{0};
std::atomic<uint64_t> g_writes{0};

// FULL syncs the journal before and after its header is written, so that
// not even a power cut on an older file system can leave a commit half
// done; a group shares the syncs among all its writes. Writes that need no
// sync commit without one, as before.
const char* synchronousLevel(Durability durability) {
  return durability == Durability::Synced ? "PRAGMA synchronous=FULL;" : "PRAGMA synchronous=OFF;";
}

void writeAlone(const std::string& path, BusyWaiter* waiter, Durability durability,
                const FileWrite& write) {
  const PooledConnection db = connectTo(path, OpenMode::ReadWrite, waiter);
  db->executeScript(synchronousLevel(durability));
  SqlTransaction transaction(*db);
  write(*db);
  transaction.commit();
}

struct QueuedWrite {
  const FileWrite& write;
  Durability durability;
  std::exception_ptr failure;
  bool done = false;
};

using Writes = std::vector<QueuedWrite*>;

Durability groupDurability(const Writes& writes) {
  for (const QueuedWrite* write : writes) {
    if (write->durability == Durability::Synced) return Durability::Synced;
  }
  return Durability::Unsynced;
}

// Runs one write under a savepoint of its own: a write that fails is
// undone alone, and its failure kept for its writer. False when it failed.
bool runUnderSavepoint(SqlCipherConnection& db, QueuedWrite& queued) {
  db.executeScript("SAVEPOINT quarn_write;");
  try {
    queued.write(db);
    db.executeScript("RELEASE quarn_write;");
    return true;
  } catch (...) {
    queued.failure = std::current_exception();
    if (!sqlite3_get_autocommit(db.handle())) {
      sqlite3_exec(db.handle(), "ROLLBACK TO quarn_write; RELEASE quarn_write;", nullptr, nullptr,
                   nullptr);
    }
    return false;
  }
}

// One transaction for `writes`: each is run in turn and all that did not
// fail are committed at once. Returns the writes to run again: when a
// write's failure undid the whole transaction (an I/O fault rolls it back),
// the writes before and after it go into a new one.
Writes commitOnce(const std::string& path, BusyWaiter* waiter, const Writes& writes) {
  Writes stored;
  PooledConnection db;
  std::optional<SqlTransaction> transaction;  // ended before its connection
  try {
    db = connectTo(path, OpenMode::ReadWrite, waiter);
    db->executeScript(synchronousLevel(groupDurability(writes)));
    transaction.emplace(*db);
    for (auto write = writes.begin(); write != writes.end(); ++write) {
      if (runUnderSavepoint(*db, **write)) {
        stored.push_back(*write);
      } else if (sqlite3_get_autocommit(db->handle())) {
        transaction.reset();
        Writes again = stored;
        again.insert(again.end(), write + 1, writes.end());
        return again;
      }
    }
    transaction->commit();
    transaction.reset();
  } catch (...) {
    // Nothing of the group is stored: its connection, its start or its
    // commit failed. Every write that had not failed on its own is told.
    transaction.reset();
    for (QueuedWrite* write : writes) {
      if (!write->failure) write->failure = std::current_exception();
    }
    return {};
  }
  ++g_commits;
  g_writes += stored.size();
  return {};
}

void commitGroup(const std::string& path, BusyWaiter* waiter, Writes writes) {
  while (!writes.empty()) writes = commitOnce(path, waiter, writes);
}

// The writes to one file. The first writer that finds no group committing
// leads the next one; the others wait until their group has committed.
class FileGroup {
 public:
  void write(const std::string& path, BusyWaiter* waiter, Durability durability,
             const FileWrite& write) {
    QueuedWrite mine{write, durability, nullptr};
    std::unique_lock lock(m_mutex);
    m_queue.push_back(&mine);
    while (!mine.done) {
      if (m_committing) {
        m_committed.wait(lock);
        continue;
      }
      lead(lock, path, waiter);
    }
    if (mine.failure) std::rethrow_exception(mine.failure);
  }

  std::size_t waiting() {
    const std::lock_guard lock(m_mutex);
    return m_queue.size();
  }

 private:
  // Takes every queued write and commits them; writes queued meanwhile
  // wait for the next group, led by one of their writers.
  void lead(std::unique_lock<std::mutex>& lock, const std::string& path, BusyWaiter* waiter) {
    m_committing = true;
    Writes group;
    group.swap(m_queue);
    lock.unlock();
    commitGroup(path, waiter, group);
    lock.lock();
    for (QueuedWrite* write : group) write->done = true;
    m_committing = false;
    m_committed.notify_all();
  }

  std::mutex m_mutex;
  std::condition_variable m_committed;
  Writes m_queue;
  bool m_committing = false;
};

// One group per file, named by its absolute path; kept for the process's
// life (a server writes to one file or a few).
FileGroup& groupOf(const std::string& path) {
  static std::mutex mutex;
  static auto* const groups = new std::map<std::string, std::unique_ptr<FileGroup>>;
  const std::string name = std::filesystem::absolute(path).lexically_normal().string();
  const std::lock_guard lock(mutex);
  std::unique_ptr<FileGroup>& group = (*groups)[name];
  if (!group) group = std::make_unique<FileGroup>();
  return *group;
}

}  // namespace

void writeToFile(const std::string& path, BusyWaiter* waiter, Durability durability,
                 const FileWrite& write) {
  if (!g_grouped) return writeAlone(path, waiter, durability, write);
  groupOf(path).write(path, waiter, durability, write);
}

void groupFileCommits(bool on) {
  g_grouped = on;
}

bool fileCommitsGrouped() {
  return g_grouped;
}

GroupCounts groupCounts() {
  return {g_commits, g_writes};
}

std::size_t writesWaiting(const std::string& path) {
  return groupOf(path).waiting();
}

}  // namespace quarn
