#pragma once

#include "db/ResultStore.h"
#include "db/postgres/PgConnectionPool.h"

namespace quarn {

// The results on a server.
class PgResultStore final : public ResultStore {
 public:
  explicit PgResultStore(PgConnectionPool& pool) : m_pool(pool) {}

  std::unique_ptr<RowWriter<WeekRow>> openWeekRows() override;
  std::unique_ptr<RowWriter<TrialRow>> openTrialRows() override;
  std::vector<RecordedSession> recordedSessions(const std::string& setting,
                                                const std::string& subject) override;
  std::vector<RecordedSession> trainingSessions(const std::string& setting,
                                                const std::string& subject) override;
  RecordedRows recordedRows(const RecordedSession& session) override;
  RecordKeys recordKeys(const std::string& setting, const std::string& subject) override;

 private:
  PgConnectionPool& m_pool;
};

}  // namespace quarn
