#pragma once

#include "db/RowWriter.h"
#include "db/sqlcipher/SqlCipherFile.h"
#include "db/sqlcipher/SyncedInserts.h"

namespace quarn {

// Typed rows into one table of an encrypted file, one statement per row, in
// one synced commit.
template <class RowT>
class SqlCipherRowWriter final : public RowWriter<RowT> {
 public:
  using Params = SqlParams (*)(const RowT&);
  SqlCipherRowWriter(const SqlCipherFile& file, const char* table, const char* sql, Params params)
      : m_rows(file, table), m_sql(sql), m_params(params) {}

  void insert(const RowT& row) override { m_rows.insert(m_sql, m_params(row)); }
  void commit() override { m_rows.commit(); }

 private:
  SyncedInserts m_rows;
  const char* m_sql;
  Params m_params;
};

}  // namespace quarn
