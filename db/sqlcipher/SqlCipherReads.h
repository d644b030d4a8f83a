#pragma once

#include "db/QueryRunner.h"
#include "db/sqlcipher/SqlCipherFile.h"

namespace quarn {

// Reads of an encrypted file: every query takes a read-only connection of
// its own (see connectTo) and a static copy of its result, so that no lock
// is held between two reads.
class SqlCipherReads final : public QueryRunner {
 public:
  explicit SqlCipherReads(const SqlCipherFile& file) : m_file(file) {}
  Rows query(const std::string& sql, const SqlParams& params = {}) override;

 private:
  const SqlCipherFile& m_file;
};

}  // namespace quarn
