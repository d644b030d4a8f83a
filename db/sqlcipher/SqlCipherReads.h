#pragma once

#include "db/QueryRunner.h"
#include "db/sqlcipher/SqlCipherFile.h"

namespace quarn {

// Reads of an encrypted file: every query opens its own read-only
// connection and takes a static copy of its result, so that nothing is held
// open between two reads.
class SqlCipherReads final : public QueryRunner {
 public:
  explicit SqlCipherReads(const SqlCipherFile& file) : m_file(file) {}
  Rows query(const std::string& sql, const SqlParams& params = {}) override;

 private:
  const SqlCipherFile& m_file;
};

}  // namespace quarn
