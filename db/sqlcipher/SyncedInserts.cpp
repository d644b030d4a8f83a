#include "db/sqlcipher/SyncedInserts.h"

#include <sqlcipher/sqlite3.h>

#include <algorithm>

#include "db/DbError.h"
#include "db/RecordColumns.h"

namespace quarn {

SyncedInserts::SyncedInserts(const SqlCipherFile& file, const std::string& table,
                             PooledConnection opened)
    : m_path(file.path), m_waiter(file.waiter), m_table(table) {
  if (fileCommitsGrouped()) {
    m_key = keyPlaces(table);
    m_reader = std::move(opened);
    return;
  }
  if (opened) {
    m_transaction.emplace(std::move(opened), table);
  } else {
    m_transaction.emplace(file.path, table, file.waiter);
  }
}

void SyncedInserts::insert(const std::string& sql, const SqlParams& params) {
  if (m_transaction) return m_transaction->insert(sql, params);
  if (m_committed) {
    throw DbError(DbErrorKind::Other, kErrDatabase + SQLITE_MISUSE, "The record set is closed",
                  m_table);
  }
  refuseTakenKey(params);
  m_rows.emplace_back(sql, params);
}

void SyncedInserts::refuseTakenKey(const SqlParams& params) {
  const auto sameKey = [&](const auto& row) {
    return std::all_of(m_key.begin(), m_key.end(), [&](const auto& column) {
      return row.second.at(column.second) == params.at(column.second);
    });
  };
  if (std::none_of(m_rows.begin(), m_rows.end(), sameKey) && !keyStored(params)) return;
  throw DbError(DbErrorKind::KeyCollision, kErrDuplicateKey,
                "Duplicate value in index or primary key (" + m_table + ": the key is taken)",
                m_table);
}

bool SyncedInserts::keyStored(const SqlParams& params) {
  if (!m_reader) m_reader = connectTo(m_path, OpenMode::ReadOnly, m_waiter);
  return keyTaken(*m_reader, m_table, m_key, params);
}

void SyncedInserts::commit(const FileWrite& alsoWrite) {
  if (m_committed) return;
  if (m_transaction) {
    if (alsoWrite) alsoWrite(m_transaction->connection());
    m_transaction->commit();
  } else {
    writeToFile(m_path, m_waiter, Durability::Synced, [&](SqlCipherConnection& db) {
      for (const auto& [sql, params] : m_rows) insertRow(db, m_table, sql, params);
      if (alsoWrite) alsoWrite(db);
    });
  }
  m_committed = true;
}

}  // namespace quarn
