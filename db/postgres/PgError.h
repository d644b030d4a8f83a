#pragma once

// Failures of the PostgreSQL engine, told apart by the server's SQLSTATE code
// (never by message text, which the server translates to its own language).

#include <string>
#include <string_view>

#include "base/Errors.h"

namespace quarn {

enum class PgErrorKind {
  KeyCollision,       // 23505: a row with the same key exists
  RetryableConflict,  // 40001, 40P01: serialization failure or deadlock; run it again
  ConnectionFailure,  // class 08, a server shutting down, or a connection that broke
  MissingItem,        // 42P01, 42703: no such table or column (error 3265)
  Other,
};

PgErrorKind classifySqlState(std::string_view sqlState);

// A failed connection or statement. Its number is 3265 for a missing table or
// column, like the file engine's, and kErrDatabase for everything else.
class PgError : public QuarnError {
 public:
  PgError(PgErrorKind kind, std::string sqlState, const std::string& description);
  PgErrorKind kind() const { return m_kind; }
  // Empty when the failure came from the client library, not the server.
  const std::string& sqlState() const { return m_sqlState; }

 private:
  PgErrorKind m_kind;
  std::string m_sqlState;
};

}  // namespace quarn
