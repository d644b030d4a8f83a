#include "db/postgres/PgTables.h"

#include "db/postgres/PgError.h"
#include "db/postgres/PgSql.h"

namespace quarn {

namespace {

ColumnAffinity affinityOf(const std::string& type) {
  if (type == "bigint" || type == "integer" || type == "smallint" || type == "boolean") {
    return ColumnAffinity::Integer;
  }
  if (type == "double precision" || type == "real" || type == "numeric") {
    return ColumnAffinity::Real;
  }
  if (type == "text" || type == "character varying" || type == "character") {
    return ColumnAffinity::Text;
  }
  return ColumnAffinity::Other;
}

class PgTableTransaction final : public TableTransaction {
 public:
  explicit PgTableTransaction(PgConnectionPool& pool)
      : m_lease(pool.lease()), m_transaction(*m_lease) {}
  void insert(const std::string&, const std::string& sql, const SqlParams& params) override {
    m_lease->exec(numberedParameters(sql), params);
  }
  void commit() override { m_transaction.commit(); }

 private:
  PgConnectionPool::Lease m_lease;
  PgTransaction m_transaction;
};

}  // namespace

std::vector<ColumnInfo> PgTables::columns(const std::string& table) {
  const Rows rows = m_reads.query(
      R"(SELECT column_name, data_type FROM information_schema.columns
         WHERE table_schema = current_schema() AND table_name = ? AND column_name <> 'rowid'
         ORDER BY ordinal_position)",
      {table});
  if (rows.empty()) {
    throw PgError(PgErrorKind::MissingItem, "",
                  "Item not found in this collection (no table " + table + ")", table);
  }
  std::vector<ColumnInfo> columns;
  for (const Row& row : rows) {
    columns.push_back(
        {row.cell("column_name").toText(), affinityOf(row.cell("data_type").toText())});
  }
  return columns;
}

std::unique_ptr<TableTransaction> PgTables::beginWrite() {
  return std::make_unique<PgTableTransaction>(m_pool);
}

}  // namespace quarn
