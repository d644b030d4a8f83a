#pragma once

#include "db/DatabaseTables.h"
#include "db/sqlcipher/SqlCipherReads.h"

namespace quarn {

// The tables of an encrypted file.
class SqlCipherTables final : public DatabaseTables {
 public:
  explicit SqlCipherTables(std::string path, BusyWaiter* waiter = nullptr)
      : m_file{std::move(path), waiter, std::nullopt, nullptr} {}

  std::string location() const override { return m_file.path; }
  QueryRunner& reads() override { return m_reads; }
  std::vector<ColumnInfo> columns(const std::string& table) override;
  std::unique_ptr<TableTransaction> beginWrite() override;

 private:
  SqlCipherFile m_file;
  SqlCipherReads m_reads{m_file};
};

}  // namespace quarn
