#include "db/postgres/PgError.h"

#include <utility>

namespace quarn {

namespace {

int errorNumber(PgErrorKind kind) {
  return kind == PgErrorKind::MissingItem ? kErrItemNotFound : kErrDatabase;
}

}  // namespace

PgErrorKind classifySqlState(std::string_view sqlState) {
  if (sqlState == "23505") return PgErrorKind::KeyCollision;
  if (sqlState == "40001" || sqlState == "40P01") return PgErrorKind::RetryableConflict;
  // 57P01..57P03: the server is shutting down or not yet accepting
  // connections; like a broken link, the cure is to connect again.
  if (sqlState.starts_with("08") || sqlState == "57P01" || sqlState == "57P02" ||
      sqlState == "57P03") {
    return PgErrorKind::ConnectionFailure;
  }
  if (sqlState == "42P01" || sqlState == "42703") return PgErrorKind::MissingItem;
  return PgErrorKind::Other;
}

PgError::PgError(PgErrorKind kind, std::string sqlState, const std::string& description)
    : QuarnError(errorNumber(kind), description), m_kind(kind), m_sqlState(std::move(sqlState)) {}

}  // namespace quarn
