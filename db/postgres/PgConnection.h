#pragma once

// One connection to a PostgreSQL server through libpq.
//
//   PgConnection db("postgresql://lab-server/quarn");    // or "host=... dbname=..."
//   PgTransaction week(db);
//   db.exec(R"(INSERT INTO "datUser" ("Subject", "Age") VALUES ($1, $2))",
//           {std::string("S1"), int64_t{21}});
//   week.commit();
//
// Values always travel as parameters ($1, $2, ...), never inside the SQL
// text. The server infers each parameter's type from where it stands; cast it
// ($1::bigint) where nothing tells. Failures raise PgError.

#include <chrono>
#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "plan/Cell.h"

typedef struct pg_conn PGconn;
typedef struct pg_result PGresult;

namespace quarn {

// A parameter or a cell of a result. std::monostate is Null. Result cells are
// integers for the server's integer and boolean types, doubles for its
// floating-point and numeric types, and text for everything else.
using PgValue = CellValue;

struct PgResult {
  std::vector<std::string> columns;
  std::vector<std::vector<PgValue>> rows;
  int64_t affectedRows = 0;  // rows an INSERT, UPDATE or DELETE touched
  std::string commandTag;    // the server's name for what it did: "INSERT 0 4", "COMMIT", ...

  // The cell of `row` in the column named `column` (exact case); raises
  // error 3265 when the result has no such column.
  const PgValue& at(size_t row, std::string_view column) const;
};

// The rows of a result as the stores return rows of either engine.
Rows rowsOf(PgResult result);

class PgConnection {
 public:
  // Connects with a connection URI or keyword string. The password comes
  // from libpq's own places (PGPASSWORD, ~/.pgpass, the service file): a
  // string that holds one is refused, so that none is ever stored by the
  // application. TLS is negotiated as the string's sslmode says (default
  // prefer). A server that cannot be reached raises a ConnectionFailure
  // naming the host, the port and the reason.
  explicit PgConnection(const std::string& connectionString);
  ~PgConnection();
  PgConnection(const PgConnection&) = delete;
  PgConnection& operator=(const PgConnection&) = delete;

  // Runs one statement.
  PgResult exec(const std::string& sql, const std::vector<PgValue>& params = {});
  // Prepares `sql` once under `name`, for execPrepared on this connection.
  void prepare(const std::string& name, const std::string& sql);
  PgResult execPrepared(const std::string& name, const std::vector<PgValue>& params);
  // Runs several statements without parameters, such as a schema.
  void execScript(const std::string& sql);

  // Prepares `sql` under `name` unless this connection has done so already.
  void prepareOnce(const std::string& name, const std::string& sql);

  // Waits up to `timeout` for a notification on a channel this connection
  // listens to (LISTEN); the payloads that came, none when the time passed.
  std::vector<std::string> waitForNotifications(std::chrono::milliseconds timeout);

  // `password` of `user` as the server stores it (its password_encryption,
  // SCRAM by default), computed here: a statement that sets a password
  // carries only this, never the password itself.
  std::string encryptedPassword(const std::string& password, const std::string& user);

  // The connection's socket, to wait on beside others (poll).
  int socket() const;
  bool usesTls() const;
  bool inTransaction() const;
  // Whether the link to the server is lost: nothing more can run on it.
  bool broken() const;
  std::string host() const;
  std::string port() const;

 private:
  PgResult take(PGresult* result, const std::string& sql) const;
  [[noreturn]] void fail(const PGresult* result, const std::string& sql) const;
  std::string where() const;

  PGconn* m_conn = nullptr;
  std::set<std::string> m_prepared;
};

// A transaction that rolls back unless committed: a week whose rows are not
// all stored leaves none of them.
class PgTransaction {
 public:
  explicit PgTransaction(PgConnection& connection);
  ~PgTransaction();
  PgTransaction(const PgTransaction&) = delete;
  PgTransaction& operator=(const PgTransaction&) = delete;

  // Raises when the server did not commit, including when a statement of the
  // transaction had failed (the server then rolls back instead).
  void commit();

 private:
  PgConnection& m_connection;
  bool m_open = true;
};

}  // namespace quarn
