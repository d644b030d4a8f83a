#pragma once

#include "db/DatabaseTables.h"
#include "db/postgres/PgConnectionPool.h"
#include "db/postgres/PgReads.h"

namespace quarn {

// The tables of an experiment on a server (in the connection's current
// schema).
class PgTables final : public DatabaseTables {
 public:
  PgTables(std::string location, std::function<std::string()> connectionString)
      : m_location(std::move(location)), m_pool(std::move(connectionString)) {}

  std::string location() const override { return m_location; }
  QueryRunner& reads() override { return m_reads; }
  std::vector<ColumnInfo> columns(const std::string& table) override;
  std::unique_ptr<TableTransaction> beginWrite() override;

 private:
  std::string m_location;
  PgConnectionPool m_pool;
  PgReads m_reads{m_pool};
};

}  // namespace quarn
