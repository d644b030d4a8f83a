#pragma once

// One open, keyed connection to an encrypted experiment database: the bottom
// of the data layer. Code above the stores never sees it.

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "db/QueryRunner.h"
#include "db/sqlcipher/KeyCache.h"
#include "plan/Cell.h"

struct sqlite3;
struct sqlite3_stmt;

namespace quarn {

// What a connection does while another program holds the file's lock: it is
// told, between short waits, how long it has waited so far. The application
// keeps its windows painted and says that it waits; without a waiter the
// connection just sleeps.
class BusyWaiter {
 public:
  virtual ~BusyWaiter() = default;
  // Returns after a short wait (a few hundredths of a second).
  virtual void wait(std::chrono::milliseconds waitedSoFar) = 0;
  // The same while the lab server cannot be reached.
  virtual void waitForServer(std::chrono::milliseconds waitedSoFar) { wait(waitedSoFar); }
  // How long one use waits for the lock before it fails (kBusyTimeout). A
  // waiter whose uses are tried again until a give-up time of their own
  // (the application's, see DatabaseAccess) keeps each try short, so that
  // the give-up comes when it is due.
  virtual std::chrono::milliseconds lockPatience() const;
};

// How long a connection waits for another process's lock before it fails,
// and how long it sleeps between two tries when nobody is told of the wait:
// in short steps at first (most locks are a commit's, over within a few
// milliseconds: a server's sessions would otherwise each lose a whole step
// to every commit of the others), then in longer ones.
inline constexpr std::chrono::milliseconds kBusyTimeout{10000};
inline constexpr std::chrono::milliseconds kBusyStep{10};
inline constexpr std::chrono::milliseconds kShortBusyStep{1};
inline constexpr std::chrono::milliseconds kShortStepsFor{20};

// A collation the connections offer to statements ("... WHERE Subject=?
// COLLATE CASEBLIND"): text compared without regard to letter case, beyond
// ASCII too (Zoë and ZOË are equal). Files keep their own collations; this
// one exists only on the application's connections.
inline constexpr const char* kCaseBlindCollation = "CASEBLIND";

// The affinity of a declared column type, as SQLite derives it.
enum class ColumnAffinity { Integer, Real, Text, Other };

struct ColumnInfo {
  std::string name;
  ColumnAffinity affinity;
};

// The constructor checks that the linked library really is SQLCipher and
// that the key opens the file. Failures raise DbError: 3265 for a missing
// table or column, kErrDatabase + the SQLite code for anything else, each
// with the statement it happened on as its source.
class SqlCipherConnection {
 public:
  // While another process holds the file's lock, `waiter` (if any) is told
  // how long the connection has waited, between short waits of its own.
  SqlCipherConnection(const std::string& path, OpenMode mode, BusyWaiter* waiter = nullptr);
  ~SqlCipherConnection();
  SqlCipherConnection(const SqlCipherConnection&) = delete;
  SqlCipherConnection& operator=(const SqlCipherConnection&) = delete;

  const std::string& path() const { return m_path; }
  // Who is told of locks from now on (a connection handed to another user).
  void setWaiter(BusyWaiter* waiter) { m_busy.waiter = waiter; }
  sqlite3* handle() const { return m_db; }

  // Runs one or more statements without parameters (a schema, BEGIN, COMMIT).
  void executeScript(const std::string& sql);
  // Runs one statement with `params` bound to its `?`s; returns the number
  // of rows it changed.
  int execute(const std::string& sql, const SqlParams& params = {});
  // Runs one SELECT with `params` bound and returns every row of its result.
  Rows query(const std::string& sql, const SqlParams& params = {});

  // The columns of `table`, in table order; 3265 when there is no such table.
  std::vector<ColumnInfo> columns(const std::string& table);
  // The column names of a SELECT's result.
  std::vector<std::string> resultColumns(const std::string& select);

  // A statement prepared from `sql` (translated as execute does), for
  // callers that step it themselves; finalized by the caller.
  sqlite3_stmt* prepare(const std::string& sql);
  static void bind(sqlite3_stmt* statement, const SqlParams& params);
  static CellValue columnValue(sqlite3_stmt* statement, int column);

  // Raises the DbError for a failed SQLite call with result code `rc` on the
  // statement `source`.
  [[noreturn]] void fail(int rc, const std::string& source = "") const;

 private:
  struct BusyState {
    BusyWaiter* waiter = nullptr;
    std::chrono::steady_clock::time_point since;
  };
  static int waitForLock(void* state, int attempt);
  void open(int flags, OpenMode mode, const std::string& password);

  sqlite3* m_db = nullptr;
  std::string m_path;
  BusyState m_busy;
};

// A transaction on a connection, rolled back unless committed.
class SqlTransaction {
 public:
  // BEGIN IMMEDIATE takes the write lock at once, so that the busy timeout
  // applies: a transaction that reads before it writes would otherwise fail
  // at once on another writer's lock.
  explicit SqlTransaction(SqlCipherConnection& connection);
  ~SqlTransaction();
  SqlTransaction(const SqlTransaction&) = delete;
  SqlTransaction& operator=(const SqlTransaction&) = delete;

  void commit();

 private:
  SqlCipherConnection& m_connection;
  bool m_open = true;
};

// Whether the file at `path` can be opened and written now: no other
// program holds its lock (waited for as long as a connection waits). A
// write transaction of this process counts as well: while one waits to
// commit, the file does not take writes.
bool fileTakesWrites(const std::string& path);

}  // namespace quarn
