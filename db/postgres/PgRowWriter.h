#pragma once

#include "db/RowWriter.h"
#include "db/postgres/PgInsertTransaction.h"

namespace quarn {

// Typed rows into one table of the server, in one transaction.
template <class RowT>
class PgRowWriter final : public RowWriter<RowT> {
 public:
  using Params = SqlParams (*)(const RowT&);
  PgRowWriter(PgConnectionPool& pool, const PgInsertTarget& target, Params params)
      : m_transaction(pool, target), m_params(params) {}

  void insert(const RowT& row) override { m_transaction.insert(m_params(row)); }
  void commit() override { m_transaction.commit(); }
  std::optional<bool> storedDespiteLostCommit() override {
    return m_transaction.storedDespiteLostCommit();
  }

 private:
  PgInsertTransaction m_transaction;
  Params m_params;
};

}  // namespace quarn
