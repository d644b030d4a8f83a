#include <sqlcipher/sqlite3.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <optional>
#include <string_view>

#include "base/Numbers.h"
#include "base/Text.h"
#include "session/SqlCipher.h"
#include "session/modDatabase.h"

namespace quarn {

namespace {

QuarnError UnknownColumn(const std::string& column) {
  return QuarnError(kErrItemNotFound, "Item not found in this collection (" + column + ")");
}

// A source without blanks that is not a statement names a whole table.
bool IsTableName(const std::string& source) {
  return !source.empty() && std::none_of(source.begin(), source.end(), [](char c) {
    return std::isspace(static_cast<unsigned char>(c));
  });
}

std::string SelectText(const std::string& source) {
  if (IsTableName(source)) {
    std::string table = source;
    if (table.size() > 2 && table.front() == '[' && table.back() == ']') {
      table = table.substr(1, table.size() - 2);
    }
    return "SELECT * FROM " + QuoteIdentifier(table);
  }
  return TranslateSql(source);
}

// A static copy of a query's result: the connection is closed again before
// the caller sees the first row.
class SnapshotRecordset final : public Recordset {
 public:
  SnapshotRecordset(const std::string& path, const std::string& source, BusyWaiter* waiter) {
    SqlCipherConnection connection(path, OpenMode::ReadOnly, waiter);
    const std::string sql = SelectText(source);
    sqlite3_stmt* stmt = nullptr;
    const char* tail = nullptr;
    int rc = sqlite3_prepare_v2(connection.Handle(), sql.c_str(), -1, &stmt, &tail);
    if (rc != SQLITE_OK) connection.Fail(rc, sql);
    // Only one statement: whatever follows the first ';' must be blank.
    if (tail && std::any_of(tail, tail + std::strlen(tail), [](char c) {
          return !std::isspace(static_cast<unsigned char>(c)) && c != ';';
        })) {
      sqlite3_finalize(stmt);
      throw QuarnError(kErrDatabase + SQLITE_ERROR, "Characters found after end of SQL statement");
    }
    const int count = sqlite3_column_count(stmt);
    for (int c = 0; c < count; ++c) {
      const std::string name = sqlite3_column_name(stmt, c);
      names_.push_back(name);
      index_.emplace(toLowerAscii(name), c);  // the first of two equal names wins
    }
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
      std::vector<FieldValue> row;
      row.reserve(count);
      for (int c = 0; c < count; ++c) {
        switch (sqlite3_column_type(stmt, c)) {
          case SQLITE_INTEGER:
            row.emplace_back(static_cast<int64_t>(sqlite3_column_int64(stmt, c)));
            break;
          case SQLITE_FLOAT:
            row.emplace_back(sqlite3_column_double(stmt, c));
            break;
          case SQLITE_NULL:
            row.emplace_back(std::monostate{});
            break;
          default:
            row.emplace_back(
                std::string(reinterpret_cast<const char*>(sqlite3_column_text(stmt, c)),
                            static_cast<size_t>(sqlite3_column_bytes(stmt, c))));
            break;
        }
      }
      rows_.push_back(std::move(row));
    }
    sqlite3_finalize(stmt);
    if (rc != SQLITE_DONE) connection.Fail(rc, sql);
  }

  bool Eof() const override { return position_ >= rows_.size(); }
  void MoveFirst() override {
    NeedRows();
    position_ = 0;
  }
  void MoveNext() override {
    if (Eof()) throw QuarnError(kErrNoCurrentRecord, "No current record.");
    ++position_;
  }
  void MoveLast() override {
    NeedRows();
    position_ = rows_.size() - 1;
  }
  int32_t RecordCount() const override { return static_cast<int32_t>(rows_.size()); }

  Field Get(const std::string& column) const override {
    auto found = index_.find(toLowerAscii(column));
    if (found == index_.end()) throw UnknownColumn(column);
    if (Eof()) throw QuarnError(kErrNoCurrentRecord, "No current record.");
    return Field(names_[found->second], rows_[position_][found->second]);
  }

  void AddNew() override { ReadOnly(); }
  void Set(const std::string&, FieldValue) override { ReadOnly(); }
  FieldValue Edited(const std::string&) const override { return {}; }
  void Update() override { ReadOnly(); }
  void Close() override {}

 private:
  void NeedRows() const {
    if (rows_.empty()) throw QuarnError(kErrNoCurrentRecord, "No current record.");
  }
  [[noreturn]] static void ReadOnly() {
    throw QuarnError(3027, "Cannot update. Database or object is read-only.");
  }

  std::vector<std::string> names_;
  std::map<std::string, int> index_;
  std::vector<std::vector<FieldValue>> rows_;
  size_t position_ = 0;
};

// Converts a value to what a column of the given affinity stores, the way a
// typed database field would: numeric text becomes a number, and text that is
// no plain decimal number (hexadecimal, "inf", "1e999") is refused instead of
// being stored as text in a numeric column or read as something else. Text
// put into an integer column must be a whole number ("2.5" is refused, not
// rounded); a double written by the program is rounded half to even.
FieldValue ConvertForColumn(const ColumnInfo& column, const FieldValue& given) {
  FieldValue value = given;
  auto refuse = [&](const std::string& what) -> QuarnError {
    return QuarnError(kErrDataTypeConversion,
                      "Data type conversion error (" + column.name + ": " + what + ")");
  };
  if (column.affinity == ColumnAffinity::Text) {
    if (auto* i = std::get_if<int64_t>(&value)) return decimal(*i);
    if (auto* d = std::get_if<double>(&value)) return shortestDecimal(*d);
    return value;
  }
  if (column.affinity != ColumnAffinity::Integer && column.affinity != ColumnAffinity::Real) {
    return value;
  }
  if (auto* text = std::get_if<std::string>(&value)) {
    const std::string_view digits = trimSpace(*text);
    if (digits.empty()) return std::monostate{};
    const std::string quoted = "'" + printable(*text) + "'";
    const ParsedNumber parsed = parseNumber(digits);
    if (parsed.kind != NumberKind::Number) {
      throw refuse(quoted + (parsed.kind == NumberKind::OutOfRange ? " is out of range"
                                                                   : " is not a number"));
    }
    if (column.affinity == ColumnAffinity::Integer) {
      if (!parsed.wholeForm) throw refuse(quoted + " is not a whole number");
      if (!parsed.whole) throw refuse(quoted + " is out of range");
      return *parsed.whole;
    }
    return parsed.value;
  }
  if (column.affinity == ColumnAffinity::Integer) {
    if (auto* d = std::get_if<double>(&value)) {
      const double rounded = roundHalfEven(*d);
      if (!(rounded >= -9.2e18 && rounded <= 9.2e18)) throw refuse(shortestDecimal(*d));
      value = static_cast<int64_t>(rounded);
    }
  }
  return value;
}

// An updatable view of one table that only adds rows. The write lock is
// taken at open (BEGIN IMMEDIATE, so the busy timeout applies); Close commits
// every row stored under this open, destruction without Close rolls them back.
class TableWriter final : public Recordset {
 public:
  TableWriter(const std::string& path, const std::string& table, BusyWaiter* waiter)
      : connection_(path, OpenMode::ReadWrite, waiter), table_(StripBrackets(table)) {
    columns_ = connection_.Columns(table_);
    for (size_t c = 0; c < columns_.size(); ++c) index_.emplace(toLowerAscii(columns_[c].name), c);
    // FULL syncs the journal header separately and costs ~18 ms a week here;
    // NORMAL still syncs journal and file before the commit completes, so a
    // crash of the program never loses a committed week.
    connection_.Exec("PRAGMA synchronous=NORMAL;");
    connection_.Exec("BEGIN IMMEDIATE;");
    inTransaction_ = true;
  }

  ~TableWriter() override {
    for (auto& [key, stmt] : statements_) sqlite3_finalize(stmt);
    if (inTransaction_) sqlite3_exec(connection_.Handle(), "ROLLBACK;", nullptr, nullptr, nullptr);
  }

  // A writer shows no existing rows: callers only add.
  bool Eof() const override { return true; }
  void MoveFirst() override { throw QuarnError(kErrNoCurrentRecord, "No current record."); }
  void MoveNext() override { throw QuarnError(kErrNoCurrentRecord, "No current record."); }
  void MoveLast() override { throw QuarnError(kErrNoCurrentRecord, "No current record."); }
  int32_t RecordCount() const override { return 0; }
  Field Get(const std::string& column) const override {
    Column(column);
    throw QuarnError(kErrNoCurrentRecord, "No current record.");
  }

  void AddNew() override {
    NeedOpen();
    editing_ = true;
    buffer_.clear();
  }

  void Set(const std::string& column, FieldValue value) override {
    const size_t c = Column(column);
    NeedEditing();
    buffer_[c] = ConvertForColumn(columns_[c], value);
  }

  FieldValue Edited(const std::string& column) const override {
    auto found = buffer_.find(Column(column));
    return found == buffer_.end() ? FieldValue{} : found->second;
  }

  void Update() override {
    NeedEditing();
    // Only the assigned columns are named, so the others take their defaults.
    std::string key;
    for (auto& [c, value] : buffer_) key += std::to_string(c) + ',';
    sqlite3_stmt*& stmt = statements_[key];
    if (!stmt) {
      std::string sql = "INSERT INTO " + QuoteIdentifier(table_);
      if (buffer_.empty()) {
        sql += " DEFAULT VALUES;";
      } else {
        std::string names, marks;
        for (auto& [c, value] : buffer_) {
          if (!names.empty()) {
            names += ',';
            marks += ',';
          }
          names += QuoteIdentifier(columns_[c].name);
          marks += '?';
        }
        sql += " (" + names + ") VALUES (" + marks + ");";
      }
      int rc = sqlite3_prepare_v2(connection_.Handle(), sql.c_str(), -1, &stmt, nullptr);
      if (rc != SQLITE_OK) {
        stmt = nullptr;
        statements_.erase(key);
        connection_.Fail(rc);
      }
    }
    int slot = 1;
    for (auto& [c, value] : buffer_) Bind(stmt, slot++, value);
    const int rc = sqlite3_step(stmt);
    sqlite3_reset(stmt);
    sqlite3_clear_bindings(stmt);
    if (rc != SQLITE_DONE) FailWrite(rc);
    editing_ = false;
    buffer_.clear();
  }

  void Close() override {
    if (closed_) return;
    NeedOpen();
    // A COMMIT that meets a lock keeps the transaction, so it can be tried
    // again; one that failed otherwise may have rolled it back.
    if (const int rc = sqlite3_exec(connection_.Handle(), "COMMIT;", nullptr, nullptr, nullptr);
        rc != SQLITE_OK) {
      FailWrite(rc);
    }
    inTransaction_ = false;
    closed_ = true;
  }

 private:
  static std::string StripBrackets(const std::string& table) {
    if (table.size() > 2 && table.front() == '[' && table.back() == ']') {
      return table.substr(1, table.size() - 2);
    }
    return table;
  }

  size_t Column(const std::string& column) const {
    auto found = index_.find(toLowerAscii(column));
    if (found == index_.end()) throw UnknownColumn(column);
    return found->second;
  }

  // Raises the failure of a write step: a key collision as such; a failure
  // that rolled the transaction back (I/O, a full disk) as the loss of every
  // row of this open, so that nothing after it is committed in their place.
  [[noreturn]] void FailWrite(int rc) {
    sqlite3* handle = connection_.Handle();
    const int extended = sqlite3_extended_errcode(handle);
    if (extended == SQLITE_CONSTRAINT_PRIMARYKEY || extended == SQLITE_CONSTRAINT_UNIQUE) {
      throw QuarnError(kErrDuplicateKey, std::string("Duplicate value in index or primary key (") +
                                             sqlite3_errmsg(handle) + ")");
    }
    if (sqlite3_get_autocommit(handle)) {
      inTransaction_ = false;
      broken_ = true;
      throw QuarnError(kErrWriteLost,
                       std::string(sqlite3_errmsg(handle)) + "; no row of this open was stored");
    }
    connection_.Fail(rc);
  }

  void NeedOpen() const {
    if (broken_) {
      throw QuarnError(kErrWriteLost,
                       "The transaction was rolled back; no row of this open was stored");
    }
    if (closed_) throw QuarnError(kErrDatabase + SQLITE_MISUSE, "The record set is closed");
  }

  void NeedEditing() const {
    NeedOpen();
    if (!editing_) {
      throw QuarnError(kErrUpdateWithoutAddNew, "Update or CancelUpdate without AddNew or Edit.");
    }
  }

  static void Bind(sqlite3_stmt* stmt, int slot, const FieldValue& value) {
    if (auto* i = std::get_if<int64_t>(&value)) {
      sqlite3_bind_int64(stmt, slot, *i);
    } else if (auto* d = std::get_if<double>(&value)) {
      sqlite3_bind_double(stmt, slot, *d);
    } else if (auto* s = std::get_if<std::string>(&value)) {
      sqlite3_bind_text(stmt, slot, s->data(), static_cast<int>(s->size()), SQLITE_TRANSIENT);
    } else {
      sqlite3_bind_null(stmt, slot);
    }
  }

  SqlCipherConnection connection_;
  std::string table_;
  std::vector<ColumnInfo> columns_;
  std::map<std::string, size_t> index_;
  std::map<size_t, FieldValue> buffer_;
  std::map<std::string, sqlite3_stmt*> statements_;
  bool editing_ = false;
  bool inTransaction_ = false;
  bool broken_ = false;
  bool closed_ = false;
};

// One statement with its values bound, run to its end; the rows it gives are
// passed to `row`.
void Run(SqlCipherConnection& connection, const char* sql, const std::vector<FieldValue>& values,
         const std::function<void(sqlite3_stmt*)>& row = {}) {
  sqlite3_stmt* stmt = nullptr;
  int rc = sqlite3_prepare_v2(connection.Handle(), sql, -1, &stmt, nullptr);
  if (rc != SQLITE_OK) connection.Fail(rc, sql);
  for (size_t i = 0; i < values.size(); ++i) {
    const int slot = static_cast<int>(i) + 1;
    if (auto* n = std::get_if<int64_t>(&values[i])) {
      sqlite3_bind_int64(stmt, slot, *n);
    } else if (auto* t = std::get_if<std::string>(&values[i])) {
      sqlite3_bind_text(stmt, slot, t->data(), static_cast<int>(t->size()), SQLITE_TRANSIENT);
    } else {
      sqlite3_bind_null(stmt, slot);
    }
  }
  while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
    if (row) row(stmt);
  }
  sqlite3_finalize(stmt);
  if (rc != SQLITE_DONE) connection.Fail(rc, sql);
}

std::string ColumnText(sqlite3_stmt* stmt, int column) {
  const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, column));
  return text ? text : "";
}

// A write transaction on the marks' table, made first when the file lacks
// it. The marks are no results: a refresh lost to a power cut costs
// nothing, so the writes are not synced.
class MarkTransaction {
 public:
  MarkTransaction(const std::string& path, BusyWaiter* waiter)
      : connection(path, OpenMode::ReadWrite, waiter) {
    connection.Exec("PRAGMA synchronous=OFF;");
    connection.Exec("BEGIN IMMEDIATE;");
    connection.Exec(
        "CREATE TABLE IF NOT EXISTS datPlaying (Subject TEXT NOT NULL PRIMARY KEY, Setting TEXT, "
        "Host TEXT NOT NULL, Process INTEGER NOT NULL, Since INTEGER NOT NULL, "
        "LastWeek INTEGER NOT NULL);");
  }
  ~MarkTransaction() {
    if (!done_) sqlite3_exec(connection.Handle(), "ROLLBACK;", nullptr, nullptr, nullptr);
  }
  void Commit() {
    connection.Exec("COMMIT;");
    done_ = true;
  }

  std::optional<PlayingMark> Present(const std::string& subject) {
    std::optional<PlayingMark> present;
    Run(connection,
        "SELECT Subject, Setting, Host, Process, Since, LastWeek FROM datPlaying WHERE Subject=?;",
        {subject}, [&](sqlite3_stmt* stmt) {
          present = PlayingMark{ColumnText(stmt, 0),
                                ColumnText(stmt, 1),
                                {ColumnText(stmt, 2), sqlite3_column_int64(stmt, 3)},
                                sqlite3_column_int64(stmt, 4),
                                sqlite3_column_int64(stmt, 5)};
        });
    return present;
  }

  SqlCipherConnection connection;

 private:
  bool done_ = false;
};

class SqlCipherEngine final : public DatabaseEngine {
 public:
  explicit SqlCipherEngine(BusyWaiter* waiter) : waiter_(waiter) {}

  std::optional<PlayingMark> MarkPlaying(
      const std::string& path, const PlayingMark& mine,
      const std::function<bool(const PlayingMark&)>& keeps) override {
    MarkTransaction marks(path, waiter_);
    std::optional<PlayingMark> present = marks.Present(mine.Subject);
    if (present && keeps(*present)) return present;
    Run(marks.connection,
        "INSERT OR REPLACE INTO datPlaying (Subject, Setting, Host, Process, Since, LastWeek) "
        "VALUES (?, ?, ?, ?, ?, ?);",
        {mine.Subject, mine.Setting, mine.At.Host, mine.At.Process, mine.Since, mine.LastWeek});
    marks.Commit();
    return std::nullopt;
  }

  std::optional<PlayingMark> TouchPlaying(const std::string& path,
                                          const PlayingMark& mine) override {
    MarkTransaction marks(path, waiter_);
    Run(marks.connection,
        "UPDATE datPlaying SET LastWeek=? WHERE Subject=? AND Host=? AND Process=?;",
        {mine.LastWeek, mine.Subject, mine.At.Host, mine.At.Process});
    if (sqlite3_changes(marks.connection.Handle()) == 1) {
      marks.Commit();
      return std::nullopt;
    }
    PlayingMark nobody;
    nobody.Subject = mine.Subject;
    return marks.Present(mine.Subject).value_or(nobody);
  }

  void ClearPlaying(const std::string& path, const PlayingMark& mine) override {
    MarkTransaction marks(path, waiter_);
    Run(marks.connection, "DELETE FROM datPlaying WHERE Subject=? AND Host=? AND Process=?;",
        {mine.Subject, mine.At.Host, mine.At.Process});
    marks.Commit();
  }

  std::unique_ptr<Recordset> Open(const std::string& path, const std::string& source,
                                  bool readOnly) override {
    if (readOnly) return std::make_unique<SnapshotRecordset>(path, source, waiter_);
    if (!IsTableName(source)) {
      throw QuarnError(kErrDatabase + SQLITE_ERROR,
                       "A writable record set must name one table: " + source);
    }
    return std::make_unique<TableWriter>(path, source, waiter_);
  }

 private:
  BusyWaiter* waiter_;
};

}  // namespace

std::unique_ptr<DatabaseEngine> MakeSqlCipherEngine(BusyWaiter* waiter) {
  return std::make_unique<SqlCipherEngine>(waiter);
}

}  // namespace quarn
