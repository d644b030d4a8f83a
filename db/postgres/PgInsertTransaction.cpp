#include "db/postgres/PgInsertTransaction.h"

#include "db/postgres/PgError.h"
#include "db/postgres/PgSql.h"

namespace quarn {

PgInsertTransaction::PgInsertTransaction(PgConnectionPool& pool, const PgInsertTarget& target)
    : m_pool(pool),
      m_target(target),
      m_statementName(std::string("quarn_insert_") + target.table),
      m_insertSql(numberedParameters(target.insertSql)) {
  begin();
}

PgInsertTransaction::~PgInsertTransaction() {
  if (m_open) abandon();
}

void PgInsertTransaction::connect() {
  if (m_lease && !(*m_lease)->broken()) return;
  m_lease.reset();
  m_lease.emplace(m_pool.lease());
}

// Opens the transaction and writes the rows inserted so far into it.
void PgInsertTransaction::begin() {
  connect();
  PgConnection& db = **m_lease;
  db.prepareOnce(m_statementName, m_insertSql);
  try {
    db.exec("BEGIN");
    m_open = true;
    for (const SqlParams& row : m_rows) db.execPrepared(m_statementName, row);
  } catch (const PgError& failure) {
    abandon();
    if (failure.pgKind() != PgErrorKind::KeyCollision) throw;
    throw DbError(DbErrorKind::WriteLost, kErrWriteLost,
                  "A row of this open was stored by another workstation in the meantime; no row "
                  "of this open was stored",
                  m_target.table);
  }
}

// Ends the server's side of a failed transaction; the rows stay here.
void PgInsertTransaction::abandon() {
  m_open = false;
  if (!m_lease) return;
  if (!(*m_lease)->broken() && (*m_lease)->inTransaction()) {
    try {
      (*m_lease)->exec("ROLLBACK");
    } catch (const PgError&) {
      // The server rolls back a transaction whose connection is gone.
    }
  }
  if ((*m_lease)->broken()) m_lease.reset();
}

void PgInsertTransaction::insert(const SqlParams& params) {
  if (m_committed) {
    throw DbError(DbErrorKind::Other, kErrDatabase, "The record set is closed", m_target.table);
  }
  if (!m_open) begin();
  try {
    (*m_lease)->execPrepared(m_statementName, params);
  } catch (const PgError&) {
    abandon();
    throw;
  }
  m_rows.push_back(params);
}

void PgInsertTransaction::commit() {
  if (m_committed) return;
  if (m_commitUnknown) {
    const bool stored = storedAlready();
    m_commitUnknown = false;
    if (stored) return finish();
  }
  if (!m_open) begin();
  PgResult result;
  try {
    result = (*m_lease)->exec("COMMIT");
  } catch (const PgError& failure) {
    m_commitUnknown = failure.pgKind() == PgErrorKind::ConnectionFailure;
    abandon();
    throw;
  }
  if (result.commandTag != "COMMIT") {
    abandon();
    throw DbError(DbErrorKind::Other, kErrDatabase,
                  "The server rolled the transaction back instead of storing it", m_target.table);
  }
  finish();
}

std::optional<bool> PgInsertTransaction::storedDespiteLostCommit() {
  if (m_committed) return true;
  if (!m_commitUnknown) return false;
  // A connection kept from before the outage may be lost as well: one more
  // try on a new one before the server counts as unreachable.
  for (int tries = 0; tries < 2; ++tries) {
    try {
      const bool stored = storedAlready();
      m_commitUnknown = false;
      if (stored) finish();
      return stored;
    } catch (const PgError& failure) {
      m_lease.reset();
      if (failure.pgKind() != PgErrorKind::ConnectionFailure) return std::nullopt;
      m_pool.dropIdle();
    } catch (const QuarnError&) {
      m_lease.reset();
      return std::nullopt;
    }
  }
  return std::nullopt;
}

// Whether the server holds the first row inserted: the rows of one
// transaction are stored all together or not at all.
bool PgInsertTransaction::storedAlready() {
  if (m_rows.empty()) return true;
  connect();
  std::string sql = std::string("SELECT count(*) FROM \"") + m_target.table + "\" WHERE ";
  SqlParams key;
  for (const auto& [column, place] : m_target.key) {
    sql += (key.empty() ? "\"" : " AND \"") + std::string(column) + "\" = ?";
    key.push_back(m_rows.front().at(place));
  }
  const PgResult found = (*m_lease)->exec(numberedParameters(sql), key);
  return std::get<int64_t>(found.rows.at(0).at(0)) > 0;
}

void PgInsertTransaction::finish() {
  m_open = false;
  m_committed = true;
  m_lease.reset();
}

}  // namespace quarn
