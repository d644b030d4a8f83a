#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <variant>

#include "base/Clock.h"
#include "base/Errors.h"
#include "base/Prompter.h"
#include "base/Random.h"

namespace quarn {

// The fixed password of every experiment database.
inline constexpr const char* kDatabasePassword = "PqZt_*R*_k";

// A collation the engine offers to queries ("... WHERE Subject='x' COLLATE
// CASEBLIND"): text compared without regard to letter case, beyond ASCII too
// (Zoë and ZOË are equal). Files keep their own collations; this one exists
// only on the application's connections.
inline constexpr const char* kCaseBlindCollation = "CASEBLIND";

// A row whose key is already in its table (the classic engine's "duplicate
// value in index or primary key").
inline constexpr int kErrDuplicateKey = 3022;
// A write failed in a way that undid every row stored under its open (the
// transaction was rolled back): the open has to be written again.
inline constexpr int kErrWriteLost = kErrDatabase + 4;

// A value read from or written to a column. std::monostate is Null.
using FieldValue = std::variant<std::monostate, int64_t, double, std::string>;

// A column value with the typed reads the loaders use. The integer reads
// round halves to even and raise OverflowError when the value does not fit;
// a Null raises "Invalid use of Null" (94). Truth values read Null and zero as
// false.
class Field {
 public:
  Field(std::string name, FieldValue value) : name_(std::move(name)), value_(std::move(value)) {}
  bool IsNull() const { return std::holds_alternative<std::monostate>(value_); }
  int16_t AsInt16() const;
  int32_t AsInt32() const;
  double AsDouble() const;
  std::string AsText() const;
  bool AsBool() const;
  const FieldValue& Value() const { return value_; }

 private:
  std::string name_;
  FieldValue value_;
};

// A record set over a table or a SELECT text. Read-only sets are snapshots: a
// static copy of the result. Writable sets are an updatable view of one table:
// AddNew starts a row whose unassigned columns keep the table's defaults,
// Update stores it. All rows stored under one open are committed together by
// Close; a set destroyed without Close stores none of them.
class Recordset {
 public:
  virtual ~Recordset() = default;
  virtual bool Eof() const = 0;
  virtual void MoveFirst() = 0;
  virtual void MoveNext() = 0;
  virtual void MoveLast() = 0;
  virtual int32_t RecordCount() const = 0;
  virtual Field Get(const std::string& column) const = 0;  // raises 3265 for an unknown column

  virtual void AddNew() = 0;
  virtual void Set(const std::string& column, FieldValue value) = 0;
  virtual FieldValue Edited(const std::string& column) const = 0;  // a value set since AddNew
  virtual void Update() = 0;
  virtual void Close() = 0;
};

// A running copy of the application: the computer's name and the process.
struct Workstation {
  std::string Host;
  int64_t Process = 0;
  bool operator==(const Workstation&) const = default;
};

// The mark of a participant playing at a workstation (a datPlaying row).
struct PlayingMark {
  std::string Subject;
  std::string Setting;
  Workstation At;
  int64_t Since = 0;     // seconds since 1970: the login
  int64_t LastWeek = 0;  // seconds since 1970: the last recorded week, the login before it
};

// The engine behind the record sets. The embedded SQLCipher engine is the
// only one today; a server engine can be added behind the same interface.
class DatabaseEngine {
 public:
  virtual ~DatabaseEngine() = default;
  // Opens `path` and a record set over `source` (a table name or a SELECT
  // text in the bracketed dialect). Failures raise QuarnError; 3265 means a
  // table or column is not in the file.
  virtual std::unique_ptr<Recordset> Open(const std::string& path, const std::string& source,
                                          bool readOnly) = 0;

  // The participant marks, each operation one write transaction (a file
  // from before the marks gets their table). MarkPlaying stores `mine`
  // unless the participant's present mark is another one for which `keeps`
  // is true: then that mark is returned and nothing is written.
  virtual std::optional<PlayingMark> MarkPlaying(
      const std::string& path, const PlayingMark& mine,
      const std::function<bool(const PlayingMark&)>& keeps);
  // Sets the LastWeek of `mine`. When the participant's mark is not `mine`
  // any more, returns the present one (a mark without a workstation when
  // there is none) and changes nothing.
  virtual std::optional<PlayingMark> TouchPlaying(const std::string& path, const PlayingMark& mine);
  // Removes `mine`; another workstation's mark stays.
  virtual void ClearPlaying(const std::string& path, const PlayingMark& mine);
};

// What a connection does while another program holds the file's lock: it is
// told, between short waits, how long it has waited so far. The application
// keeps its windows painted and says that it waits; without a waiter the
// connection just sleeps.
class BusyWaiter {
 public:
  virtual ~BusyWaiter() = default;
  // Returns after a short wait (a few hundredths of a second).
  virtual void Wait(std::chrono::milliseconds waitedSoFar) = 0;
};

std::unique_ptr<DatabaseEngine> MakeSqlCipherEngine(BusyWaiter* waiter = nullptr);

// The module state of the database access: where the file is, the shared
// retry budget of the writers, and the services the failure handling uses.
struct Database {
  Database(DatabaseEngine& engine, Prompter& toolkit, UniformRandom& random)
      : engine(engine), toolkit(toolkit), random(random) {}
  DatabaseEngine& engine;
  Prompter& toolkit;
  UniformRandom& random;
  std::string DatabasePath;
  int16_t DbWriteRetries = 0;
  // What a write in progress would leave unstored ("Trial 2, week 7 of P1"),
  // for the message when the moderator quits over its failure; empty while
  // nothing is written.
  std::string WriteInProgress;
};

// Ends the application after a failure the moderator gave up on, with status
// 1 and, during a write, a message that says what was not stored.
[[noreturn]] void DbQuitUnstored(Database& db);

// Text put between single quotes in an SQL text: quotes doubled, so that a
// value can never change the query.
std::string SqlQuote(const std::string& text);

// Opens the database and a record set over `source`, with the retry and
// back-off handling of open failures.
std::unique_ptr<Recordset> DbOpenRecordset(Database& db, const std::string& source, bool readOnly);

// Runs `attempt` (a use of the database named by `source`) with the handling
// DbOpenRecordset gives a failed open: five silent retries with a growing
// back-off, then the question whether to retry or quit.
void DbRetrying(Database& db, const std::string& source, const std::function<void()>& attempt);

// The back-off after the n-th failed open counts Int(Rnd * 3000 + 1000) * n^2
// steps; each step lasts kBackoffStep, so the wait grows from 10..40 ms at
// n = 1 to 0.25..1 s at n = 5.
inline constexpr std::chrono::microseconds kBackoffStep{10};
int64_t DbBackoffCount(UniformRandom& random, int n);
std::chrono::milliseconds DbBackoffDuration(int64_t count);

// Releases the caller's record set (closing it first if still open).
void DbClose(Database& db, std::unique_ptr<Recordset>& rs);

// Decides what happens after a row of `rs` could not be stored: five
// automatic retries per open, then the Abort/Retry/Ignore question under
// `title`. A retry after a key collision first moves the row's Trial (down
// through `trainingTrialNo` in training, up by one otherwise); any other
// failure is retried with the row as it is.
Answer DbWriteRetry(Database& db, const std::string& title, Recordset& rs,
                    const QuarnError& failure, bool trainingMode, int16_t& trainingTrialNo);

}  // namespace quarn
