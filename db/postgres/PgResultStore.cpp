#include "db/postgres/PgResultStore.h"

#include "db/StoreSql.h"
#include "db/postgres/PgReads.h"
#include "db/postgres/PgRowWriter.h"

namespace quarn {

namespace {

const PgInsertTarget& weekRows() {
  static const PgInsertTarget target = insertTargetOf(weekColumns(), insertWeekRowSql());
  return target;
}

const PgInsertTarget& trialRows() {
  static const PgInsertTarget target = insertTargetOf(trialColumns(), insertTrialRowSql());
  return target;
}

}  // namespace

std::unique_ptr<RowWriter<WeekRow>> PgResultStore::openWeekRows() {
  return std::make_unique<PgRowWriter<WeekRow>>(m_pool, weekRows(), weekRowParams);
}

std::unique_ptr<RowWriter<TrialRow>> PgResultStore::openTrialRows() {
  return std::make_unique<PgRowWriter<TrialRow>>(m_pool, trialRows(), trialRowParams);
}

std::vector<RecordedSession> PgResultStore::recordedSessions(const std::string& setting,
                                                             const std::string& subject) {
  PgReads reads(m_pool);
  return quarn::recordedSessions(reads, setting, subject);
}

std::vector<RecordedSession> PgResultStore::trainingSessions(const std::string& setting,
                                                             const std::string& subject) {
  PgReads reads(m_pool);
  return quarn::trainingSessions(reads, setting, subject);
}

RecordedRows PgResultStore::recordedRows(const RecordedSession& session) {
  PgReads reads(m_pool);
  return quarn::recordedRows(reads, session);
}

RecordKeys PgResultStore::recordKeys(const std::string& setting, const std::string& subject) {
  PgReads reads(m_pool);
  return quarn::recordKeys(reads, setting, subject);
}

}  // namespace quarn
