#pragma once

// The SQLCipher connection under the record sets, and the engine-level
// administration helpers (creating a database, running DDL, CSV export and
// import). Code above the database layer uses modDatabase.h instead.

#include <chrono>
#include <iosfwd>
#include <string>
#include <utility>
#include <vector>

#include "session/modDatabase.h"

struct sqlite3;

namespace quarn {

// DAO's numbers for the failures that callers tell apart.
inline constexpr int kErrNoCurrentRecord = 3021;
inline constexpr int kErrUpdateWithoutAddNew = 3020;
inline constexpr int kErrDataTypeConversion = 3421;

// How long a connection waits for another process's lock before it fails,
// and how long it sleeps between two tries when nobody is told of the wait.
inline constexpr std::chrono::milliseconds kBusyTimeout{10000};
inline constexpr std::chrono::milliseconds kBusyStep{10};

enum class OpenMode {
  ReadOnly,   // SQLITE_OPEN_READONLY
  ReadWrite,  // an existing file only
  Create,     // a new file; refuses a file that already exists
};

// The affinity of a declared column type, as SQLite derives it.
enum class ColumnAffinity { Integer, Real, Text, Other };

struct ColumnInfo {
  std::string name;
  ColumnAffinity affinity;
};

// One open, keyed connection. The constructor checks that the linked library
// really is SQLCipher and that the key opens the file; failures raise
// QuarnError (3265 for a missing table or column, kErrDatabase + the SQLite
// code for anything else).
class SqlCipherConnection {
 public:
  // While another process holds the file's lock, `waiter` (if any) is told
  // how long the connection has waited, between short waits of its own.
  SqlCipherConnection(const std::string& path, OpenMode mode, BusyWaiter* waiter = nullptr);
  ~SqlCipherConnection();
  SqlCipherConnection(const SqlCipherConnection&) = delete;
  SqlCipherConnection& operator=(const SqlCipherConnection&) = delete;

  sqlite3* Handle() const { return db_; }
  const std::string& Path() const { return path_; }

  // Runs one or more statements that return no rows.
  void Exec(const std::string& sql);
  // The columns of `table`, in table order; 3265 when there is no such table.
  std::vector<ColumnInfo> Columns(const std::string& table);
  // The column names of a SELECT's result (bracketed dialect).
  std::vector<std::string> ResultColumns(const std::string& select);
  // Raises the QuarnError for a failed SQLite call with result code `rc`.
  [[noreturn]] void Fail(int rc, const std::string& context = "") const;

 private:
  struct BusyState {
    BusyWaiter* waiter = nullptr;
    std::chrono::steady_clock::time_point since;
  };
  static int WaitForLock(void* state, int attempt);

  sqlite3* db_ = nullptr;
  std::string path_;
  BusyState busy_;
};

// Access-style SQL made digestible for SQLite: "[table.column]" becomes
// "[table].[column]"; string literals and everything else are left alone.
std::string TranslateSql(const std::string& source);

// An identifier in double quotes, inner quotes doubled.
std::string QuoteIdentifier(const std::string& name);

// The schema of an experiment database, embedded in the binary.
const char* SchemaSql();

// Creates a new encrypted database at `path` holding the schema. Refuses to
// overwrite an existing file.
void CreateDatabase(const std::string& path);

// Writes `table` as CSV (RFC 4180: header row, CRLF line ends, fields quoted
// when needed). Null is an empty field; an empty text is "".
void ExportCsv(const std::string& path, const std::string& table, std::ostream& out);

// Appends the rows of a CSV text (same form as ExportCsv writes) to `table`.
// The header names the columns. A broken line, an unknown column or a value
// of the wrong type refuses the whole file (QuarnError naming the line);
// nothing of it is stored. Returns the number of rows stored.
int ImportCsv(const std::string& path, const std::string& table, std::istream& in);

// One row to insert: column names and their values.
using TableRow = std::vector<std::pair<const char*, FieldValue>>;

// Appends `rows` to `table` in one transaction (all of them or none).
void InsertRows(const std::string& path, const std::string& table,
                const std::vector<TableRow>& rows);

}  // namespace quarn
