#pragma once

// Failures of the PostgreSQL engine, told apart by the server's SQLSTATE code
// (never by message text, which the server translates to its own language).

#include <string>
#include <string_view>

#include "db/DbError.h"

namespace quarn {

enum class PgErrorKind {
  KeyCollision,       // 23505: a row with the same key exists
  RetryableConflict,  // 40001, 40P01: serialization failure or deadlock; run it again
  ConnectionFailure,  // class 08, a server shutting down, or a connection that broke
  MissingItem,        // 42P01, 42703: no such table or column (error 3265)
  Refused,            // a login the server refuses, a connection string refused here
  Other,
};

PgErrorKind classifySqlState(std::string_view sqlState);

// A failed connection or statement, as a DbError of the kind and number the
// file engine gives the same failure: a key collision is kErrDuplicateKey, a
// missing table or column 3265, a conflict Busy; everything else is
// kErrDatabase. `source` is the statement it happened on.
class PgError : public DbError {
 public:
  PgError(PgErrorKind kind, std::string sqlState, const std::string& description,
          std::string source = "");
  PgErrorKind pgKind() const { return m_pgKind; }
  // Empty when the failure came from the client library, not the server.
  const std::string& sqlState() const { return m_sqlState; }

 private:
  PgErrorKind m_pgKind;
  std::string m_sqlState;
};

}  // namespace quarn
