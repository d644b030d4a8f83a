#pragma once

#include "db/ClassStoreSql.h"
#include "db/sqlcipher/SqlCipherFile.h"

namespace quarn {

// The classes of an encrypted file. A write holds the file's write lock
// from its start (BEGIN IMMEDIATE) to its commit.
class SqlCipherClassStore final : public SqlClassStore {
 public:
  explicit SqlCipherClassStore(const SqlCipherFile& file) : m_file(file) {}

 protected:
  void write(const Use& use) override;
  void read(const Use& use) override;

 private:
  const SqlCipherFile& m_file;
};

}  // namespace quarn
