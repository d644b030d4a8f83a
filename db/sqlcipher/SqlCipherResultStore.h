#pragma once

#include "db/ResultStore.h"
#include "db/sqlcipher/SqlCipherFile.h"

namespace quarn {

// The results of an encrypted file.
class SqlCipherResultStore final : public ResultStore {
 public:
  explicit SqlCipherResultStore(const SqlCipherFile& file) : m_file(file) {}

  std::unique_ptr<RowWriter<WeekRow>> openWeekRows() override;
  std::unique_ptr<RowWriter<TrialRow>> openTrialRows() override;
  std::vector<RecordedSession> recordedSessions(const std::string& setting,
                                                const std::string& subject) override;
  std::vector<RecordedSession> trainingSessions(const std::string& setting,
                                                const std::string& subject) override;
  RecordedRows recordedRows(const RecordedSession& session) override;
  RecordKeys recordKeys(const std::string& setting, const std::string& subject) override;

 private:
  const SqlCipherFile& m_file;
};

}  // namespace quarn
