#include "db/sqlcipher/SqlCipherConnection.h"

#include <sqlcipher/sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string_view>
#include <thread>

#include "base/Text.h"
#include "db/DbError.h"
#include "db/sqlcipher/SqlTranslation.h"

namespace quarn {

namespace {

int compareCaseBlind(void*, int sizeA, const void* a, int sizeB, const void* b) {
  return compareIgnoringCase(
      std::string_view(static_cast<const char*>(a), static_cast<size_t>(sizeA)),
      std::string_view(static_cast<const char*>(b), static_cast<size_t>(sizeB)));
}

bool startsWith(const char* text, const char* prefix) {
  return text && std::strncmp(text, prefix, std::strlen(prefix)) == 0;
}

// Whether SQLite's message names a table or column the database lacks.
bool namesMissingItem(const char* message) {
  return startsWith(message, "no such table") || startsWith(message, "no such column") ||
         (message && std::strstr(message, " has no column named ") != nullptr);
}

// Why the database file at `path` cannot be written, or an empty text when
// it can. A write needs a journal created beside the file, so the folder is
// probed by creating a file in it: permission bits alone say nothing for a
// process running as root, and nothing about a read-only file system.
std::string unwritableReason(const std::string& path) {
  namespace fs = std::filesystem;
  const fs::path folder = fs::absolute(path).parent_path();
  const std::string probe = (folder / ".quarn-write-test-XXXXXX").string();
  std::vector<char> name(probe.begin(), probe.end());
  name.push_back('\0');
  const int fd = ::mkstemp(name.data());
  if (fd < 0) {
    return "The folder " + folder.string() + " cannot be written (" + std::strerror(errno) +
           "): the experiment database in it cannot store anything";
  }
  ::close(fd);
  ::unlink(name.data());
  if (::access(path.c_str(), W_OK) != 0 && errno != ENOENT) {
    return "The file " + path + " cannot be written (" + std::strerror(errno) + ")";
  }
  return "";
}

DbErrorKind kindOf(int primary) {
  return primary == SQLITE_BUSY || primary == SQLITE_LOCKED ? DbErrorKind::Busy
                                                            : DbErrorKind::Other;
}

// Finalizes a statement however the caller leaves.
struct StatementGuard {
  sqlite3_stmt* statement;
  ~StatementGuard() { sqlite3_finalize(statement); }
};

}  // namespace

SqlCipherConnection::SqlCipherConnection(const std::string& path, OpenMode mode, BusyWaiter* waiter)
    : m_path(path) {
  m_busy.waiter = waiter;
  int flags = SQLITE_OPEN_NOMUTEX;
  switch (mode) {
    case OpenMode::ReadOnly:
      flags |= SQLITE_OPEN_READONLY;
      break;
    case OpenMode::ReadWrite:
      flags |= SQLITE_OPEN_READWRITE;
      break;
    case OpenMode::Create:
      if (std::filesystem::exists(path)) {
        throw DbError(DbErrorKind::Other, kErrDatabase, "The file " + path + " already exists");
      }
      flags |= SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
      break;
  }
  // A file of the lab's own passphrase may be opened with it or the fixed
  // password: a wrong one reads as "file is not a database".
  const std::vector<std::string> passwords = passwordsFor(path);
  for (size_t i = 0;; ++i) {
    try {
      open(flags, mode, passwords[i]);
      passwordWorked(path, passwords[i]);
      return;
    } catch (const DbError& failure) {
      const bool wrongKey = failure.number() == kErrDatabase + SQLITE_NOTADB;
      if (!wrongKey || mode == OpenMode::Create || i + 1 == passwords.size()) throw;
    }
  }
}

void SqlCipherConnection::open(int flags, OpenMode mode, const std::string& password) {
  const std::string& path = m_path;
  int rc = sqlite3_open_v2(path.c_str(), &m_db, flags, nullptr);
  if (rc != SQLITE_OK) {
    std::string message = m_db ? sqlite3_errmsg(m_db) : "out of memory";
    sqlite3_close(m_db);
    m_db = nullptr;
    throw DbError(kindOf(rc), kErrDatabase + rc, message + ": " + path);
  }
  try {
    sqlite3_busy_handler(m_db, &SqlCipherConnection::waitForLock, &m_busy);
    sqlite3_create_collation_v2(m_db, kCaseBlindCollation, SQLITE_UTF8, nullptr, compareCaseBlind,
                                nullptr);
    executeScript(keyStatement(path, mode, password));

    // With plain SQLite linked in by mistake, PRAGMA key is silently ignored
    // and the file would be written unencrypted.
    sqlite3_stmt* stmt = nullptr;
    rc = sqlite3_prepare_v2(m_db, "PRAGMA cipher_version;", -1, &stmt, nullptr);
    const bool isCipher = rc == SQLITE_OK && sqlite3_step(stmt) == SQLITE_ROW;
    sqlite3_finalize(stmt);
    if (!isCipher) {
      throw DbError(DbErrorKind::Other, kErrDatabase, "The database library is not SQLCipher");
    }
    // The first read of the schema is what tells a wrong key or a file that
    // is no database.
    const char* schemaRead = "SELECT count(*) FROM sqlite_master;";
    if (mode == OpenMode::ReadOnly &&
        sqlite3_exec(m_db, schemaRead, nullptr, nullptr, nullptr) != SQLITE_OK &&
        sqlite3_extended_errcode(m_db) == SQLITE_READONLY_ROLLBACK) {
      // A process that died while writing left a hot journal, which only a
      // connection that may write can roll back. Without this, every read
      // (the login's first of all) would be refused until some writer came.
      SqlCipherConnection recovery(path, OpenMode::ReadWrite);
    }
    executeScript(schemaRead);
  } catch (...) {
    sqlite3_close(m_db);
    m_db = nullptr;
    throw;
  }
}

std::chrono::milliseconds BusyWaiter::lockPatience() const {
  return kBusyTimeout;
}

// Instead of SQLite's own busy wait, which holds the thread for its whole
// length, the wait goes by in short steps, each one a chance for the waiter
// to keep the windows alive.
int SqlCipherConnection::waitForLock(void* state, int attempt) {
  BusyState& busy = *static_cast<BusyState*>(state);
  const auto now = std::chrono::steady_clock::now();
  if (attempt == 0) busy.since = now;
  const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(now - busy.since);
  if (waited >= (busy.waiter ? busy.waiter->lockPatience() : kBusyTimeout)) return 0;
  if (busy.waiter) {
    busy.waiter->wait(waited);
  } else {
    std::this_thread::sleep_for(waited < kShortStepsFor ? kShortBusyStep : kBusyStep);
  }
  return 1;
}

SqlCipherConnection::~SqlCipherConnection() {
  sqlite3_close(m_db);
}

void SqlCipherConnection::fail(int rc, const std::string& source) const {
  const char* message = m_db ? sqlite3_errmsg(m_db) : sqlite3_errstr(rc);
  std::string text = message ? message : "unknown error";
  if (namesMissingItem(message)) {
    throw DbError(DbErrorKind::ItemNotFound, kErrItemNotFound,
                  "Item not found in this collection (" + text + ")", source);
  }
  const int primary = rc & 0xff;
  if (primary == SQLITE_CANTOPEN || primary == SQLITE_READONLY) {
    // SQLite says only "unable to open database file" when it cannot create
    // its journal next to the file; the moderator needs to know which folder.
    if (std::string reason = unwritableReason(m_path); !reason.empty()) {
      throw DbError(DbErrorKind::ReadOnlyFolder, kErrDatabase + primary, reason, source);
    }
  }
  if (!source.empty()) text += " (" + source + ")";
  throw DbError(kindOf(primary), kErrDatabase + primary, text, source);
}

void SqlCipherConnection::executeScript(const std::string& sql) {
  char* error = nullptr;
  int rc = sqlite3_exec(m_db, sql.c_str(), nullptr, nullptr, &error);
  sqlite3_free(error);
  if (rc != SQLITE_OK) fail(rc);
}

sqlite3_stmt* SqlCipherConnection::prepare(const std::string& sql) {
  const std::string translated = translateSql(sql);
  sqlite3_stmt* statement = nullptr;
  const char* tail = nullptr;
  const int rc = sqlite3_prepare_v2(m_db, translated.c_str(), -1, &statement, &tail);
  if (rc != SQLITE_OK) fail(rc, sql);
  // Only one statement: whatever follows the first ';' must be blank.
  if (tail && std::any_of(tail, tail + std::strlen(tail), [](char c) {
        return !std::isspace(static_cast<unsigned char>(c)) && c != ';';
      })) {
    sqlite3_finalize(statement);
    throw DbError(DbErrorKind::Other, kErrDatabase + SQLITE_ERROR,
                  "Characters found after end of SQL statement", sql);
  }
  return statement;
}

void SqlCipherConnection::bind(sqlite3_stmt* statement, const SqlParams& params) {
  for (size_t i = 0; i < params.size(); ++i) {
    const int slot = static_cast<int>(i) + 1;
    const CellValue& value = params[i];
    if (auto* n = std::get_if<int64_t>(&value)) {
      sqlite3_bind_int64(statement, slot, *n);
    } else if (auto* d = std::get_if<double>(&value)) {
      sqlite3_bind_double(statement, slot, *d);
    } else if (auto* t = std::get_if<std::string>(&value)) {
      sqlite3_bind_text(statement, slot, t->data(), static_cast<int>(t->size()), SQLITE_TRANSIENT);
    } else {
      sqlite3_bind_null(statement, slot);
    }
  }
}

CellValue SqlCipherConnection::columnValue(sqlite3_stmt* statement, int column) {
  switch (sqlite3_column_type(statement, column)) {
    case SQLITE_INTEGER:
      return static_cast<int64_t>(sqlite3_column_int64(statement, column));
    case SQLITE_FLOAT:
      return sqlite3_column_double(statement, column);
    case SQLITE_NULL:
      return std::monostate{};
    default:
      return std::string(reinterpret_cast<const char*>(sqlite3_column_text(statement, column)),
                         static_cast<size_t>(sqlite3_column_bytes(statement, column)));
  }
}

int SqlCipherConnection::execute(const std::string& sql, const SqlParams& params) {
  const StatementGuard guard{prepare(sql)};
  bind(guard.statement, params);
  int rc;
  while ((rc = sqlite3_step(guard.statement)) == SQLITE_ROW) {
  }
  if (rc != SQLITE_DONE) fail(rc, sql);
  return sqlite3_changes(m_db);
}

Rows SqlCipherConnection::query(const std::string& sql, const SqlParams& params) {
  const StatementGuard guard{prepare(sql)};
  sqlite3_stmt* statement = guard.statement;
  bind(statement, params);
  const int count = sqlite3_column_count(statement);
  std::vector<std::string> names;
  for (int c = 0; c < count; ++c) names.emplace_back(sqlite3_column_name(statement, c));
  const auto columns = std::make_shared<const ColumnNames>(std::move(names));
  Rows rows;
  int rc;
  while ((rc = sqlite3_step(statement)) == SQLITE_ROW) {
    std::vector<CellValue> values;
    values.reserve(static_cast<size_t>(count));
    for (int c = 0; c < count; ++c) values.push_back(columnValue(statement, c));
    rows.emplace_back(columns, std::move(values));
  }
  if (rc != SQLITE_DONE) fail(rc, sql);
  return rows;
}

std::vector<ColumnInfo> SqlCipherConnection::columns(const std::string& table) {
  const std::string sql = "PRAGMA table_info(" + quoteIdentifier(table) + ");";
  sqlite3_stmt* statement = nullptr;
  const int prepared = sqlite3_prepare_v2(m_db, sql.c_str(), -1, &statement, nullptr);
  const StatementGuard guard{statement};
  if (prepared != SQLITE_OK) fail(prepared, sql);
  std::vector<ColumnInfo> columns;
  int rc;
  while ((rc = sqlite3_step(guard.statement)) == SQLITE_ROW) {
    const char* name = reinterpret_cast<const char*>(sqlite3_column_text(guard.statement, 1));
    const char* declared = reinterpret_cast<const char*>(sqlite3_column_text(guard.statement, 2));
    std::string type = declared ? declared : "";
    for (char& c : type) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    ColumnAffinity affinity = ColumnAffinity::Other;
    if (type.find("INT") != std::string::npos) {
      affinity = ColumnAffinity::Integer;
    } else if (type.find("CHAR") != std::string::npos || type.find("CLOB") != std::string::npos ||
               type.find("TEXT") != std::string::npos) {
      affinity = ColumnAffinity::Text;
    } else if (type.find("REAL") != std::string::npos || type.find("FLOA") != std::string::npos ||
               type.find("DOUB") != std::string::npos) {
      affinity = ColumnAffinity::Real;
    }
    columns.push_back({name ? name : "", affinity});
  }
  if (rc != SQLITE_DONE) fail(rc, sql);
  if (columns.empty()) {
    throw DbError(DbErrorKind::ItemNotFound, kErrItemNotFound,
                  "Item not found in this collection (no such table: " + table + ")", table);
  }
  return columns;
}

std::vector<std::string> SqlCipherConnection::resultColumns(const std::string& select) {
  const StatementGuard guard{prepare(select)};
  std::vector<std::string> names;
  for (int c = 0; c < sqlite3_column_count(guard.statement); ++c) {
    names.emplace_back(sqlite3_column_name(guard.statement, c));
  }
  return names;
}

SqlTransaction::SqlTransaction(SqlCipherConnection& connection) : m_connection(connection) {
  m_connection.executeScript("BEGIN IMMEDIATE;");
}

SqlTransaction::~SqlTransaction() {
  if (m_open) sqlite3_exec(m_connection.handle(), "ROLLBACK;", nullptr, nullptr, nullptr);
}

void SqlTransaction::commit() {
  m_connection.executeScript("COMMIT;");
  m_open = false;
}

bool fileTakesWrites(const std::string& path) {
  try {
    SqlCipherConnection connection(path, OpenMode::ReadWrite);
    connection.executeScript("BEGIN IMMEDIATE; ROLLBACK;");
    return true;
  } catch (const QuarnError&) {
    return false;
  }
}

}  // namespace quarn
