#include "db/postgres/PgResultStore.h"

#include "db/StoreSql.h"
#include "db/postgres/PgReads.h"
#include "db/postgres/PgRowWriter.h"

namespace quarn {

namespace {

// The keys' columns and their places among the INSERT's parameters.
const PgInsertTarget kWeekRows{
    "datRole",
    kInsertWeekRow,
    {{"Subject", 0}, {"Setting", 1}, {"Trial", 2}, {"Week", 4}, {"Role", 5}}};
const PgInsertTarget kTrialRows{
    "datTrial", kInsertTrialRow, {{"Subject", 0}, {"Setting", 1}, {"Trial", 2}}};

}  // namespace

std::unique_ptr<RowWriter<WeekRow>> PgResultStore::openWeekRows() {
  return std::make_unique<PgRowWriter<WeekRow>>(m_pool, kWeekRows, weekRowParams);
}

std::unique_ptr<RowWriter<TrialRow>> PgResultStore::openTrialRows() {
  return std::make_unique<PgRowWriter<TrialRow>>(m_pool, kTrialRows, trialRowParams);
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
