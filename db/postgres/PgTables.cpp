#include "db/postgres/PgTables.h"

#include <functional>

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

// The rows of a transaction go to the server a batch at a time, as one
// INSERT with many rows: one round trip per batch rather than per row (an
// import of 200,000 rows spent nearly all its time waiting for the server's
// answers). Each batch runs under a savepoint; when it fails, its rows are
// tried one by one, so that the failure names the row that caused it.
class PgTableTransaction final : public TableTransaction {
 public:
  explicit PgTableTransaction(PgConnectionPool& pool)
      : m_lease(pool.lease()), m_transaction(*m_lease) {}

  void insert(const std::string&, const std::string& sql, const SqlParams& params) override {
    const size_t valuesAt = sql.rfind(" VALUES (");
    if (valuesAt == std::string::npos) {  // DEFAULT VALUES: nothing to batch
      flush();
      run(m_rows, numberedParameters(sql), params);
      ++m_rows;
      return;
    }
    if (sql != m_batchSql || m_batch.size() == kBatchRows ||
        (m_batch.size() + 1) * params.size() > kMaxParameters) {
      flush();
    }
    m_batchSql = sql;
    m_batch.push_back(params);
  }

  void commit() override {
    flush();
    m_transaction.commit();
  }

 private:
  static constexpr size_t kBatchRows = 1000;
  static constexpr size_t kMaxParameters = 65535;  // the protocol's limit per statement

  // Runs one statement for the row at `row` of the transaction; a failure
  // names that row.
  void run(size_t row, const std::string& sql, const SqlParams& params) {
    try {
      m_lease->exec(sql, params);
    } catch (const PgError& failure) {
      throw TableRowError(failure, row);
    }
  }

  void flush() {
    if (m_batch.empty()) return;
    const size_t first = m_rows;
    m_rows += m_batch.size();
    const std::vector<SqlParams> batch = std::move(m_batch);
    m_batch.clear();
    if (batch.size() == 1) return run(first, numberedParameters(m_batchSql), batch.front());

    const size_t valuesAt = m_batchSql.rfind(" VALUES (") + 8;
    const std::string head = m_batchSql.substr(0, valuesAt);
    const size_t columns = batch.front().size();
    std::string sql = head;
    SqlParams params;
    params.reserve(batch.size() * columns);
    size_t number = 0;
    for (const SqlParams& row : batch) {
      sql += number ? ",(" : "(";
      for (size_t c = 0; c < columns; ++c) sql += (c ? ",$" : "$") + std::to_string(++number);
      sql += ")";
      params.insert(params.end(), row.begin(), row.end());
    }
    // Full batches are alike: the server parses and plans their statement once.
    const std::string name = "quarn_batch_" + std::to_string(std::hash<std::string>{}(sql));
    m_lease->exec("SAVEPOINT quarn_batch");
    try {
      m_lease->prepareOnce(name, sql);
      m_lease->execPrepared(name, params);
    } catch (const PgError&) {
      m_lease->exec("ROLLBACK TO SAVEPOINT quarn_batch");
      const std::string single = numberedParameters(m_batchSql);
      for (size_t r = 0; r < batch.size(); ++r) run(first + r, single, batch[r]);
      throw;  // every row alone was stored: the batch's failure was its own
    }
    m_lease->exec("RELEASE SAVEPOINT quarn_batch");
  }

  PgConnectionPool::Lease m_lease;
  PgTransaction m_transaction;
  std::string m_batchSql;
  std::vector<SqlParams> m_batch;
  size_t m_rows = 0;  // rows handed to the server so far
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
