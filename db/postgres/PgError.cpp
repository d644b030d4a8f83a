#include "db/postgres/PgError.h"

#include <utility>

namespace quarn {

namespace {

DbErrorKind dbKindOf(PgErrorKind kind) {
  switch (kind) {
    case PgErrorKind::KeyCollision:
      return DbErrorKind::KeyCollision;
    case PgErrorKind::RetryableConflict:
      return DbErrorKind::Busy;
    case PgErrorKind::MissingItem:
      return DbErrorKind::ItemNotFound;
    case PgErrorKind::ConnectionFailure:
      return DbErrorKind::ConnectionLost;
    case PgErrorKind::Refused:
      return DbErrorKind::Refused;
    default:
      return DbErrorKind::Other;
  }
}

int errorNumber(PgErrorKind kind) {
  switch (kind) {
    case PgErrorKind::KeyCollision:
      return kErrDuplicateKey;
    case PgErrorKind::MissingItem:
      return kErrItemNotFound;
    default:
      return kErrDatabase;
  }
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
  // 28000, 28P01: the server refuses the login (no pg_hba entry, a wrong
  // password); 3D000: no such database. Asking again changes nothing.
  if (sqlState.starts_with("28") || sqlState == "3D000") return PgErrorKind::Refused;
  return PgErrorKind::Other;
}

PgError::PgError(PgErrorKind kind, std::string sqlState, const std::string& description,
                 std::string source)
    : DbError(dbKindOf(kind), errorNumber(kind), description, std::move(source)),
      m_pgKind(kind),
      m_sqlState(std::move(sqlState)) {}

}  // namespace quarn
