#pragma once

#include "db/RowWriter.h"
#include "db/sqlcipher/InsertTransaction.h"
#include "db/sqlcipher/SqlCipherFile.h"

namespace quarn {

// Typed rows into one table of an encrypted file, one statement per row, in
// one transaction.
template <class RowT>
class SqlCipherRowWriter final : public RowWriter<RowT> {
 public:
  using Params = SqlParams (*)(const RowT&);
  SqlCipherRowWriter(const SqlCipherFile& file, const char* table, const char* sql, Params params)
      : m_transaction(file.path, table, file.waiter), m_sql(sql), m_params(params) {}

  void insert(const RowT& row) override { m_transaction.insert(m_sql, m_params(row)); }
  void commit() override { m_transaction.commit(); }

 private:
  InsertTransaction m_transaction;
  const char* m_sql;
  Params m_params;
};

}  // namespace quarn
