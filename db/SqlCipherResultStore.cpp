#include "db/SqlCipherResultStore.h"

#include "db/SqlCipherReads.h"
#include "db/SqlCipherRowWriter.h"
#include "db/StoreSql.h"

namespace quarn {

std::unique_ptr<RowWriter<WeekRow>> SqlCipherResultStore::openWeekRows() {
  return std::make_unique<SqlCipherRowWriter<WeekRow>>(m_file, "datRole", kInsertWeekRow,
                                                       weekRowParams);
}

std::unique_ptr<RowWriter<TrialRow>> SqlCipherResultStore::openTrialRows() {
  return std::make_unique<SqlCipherRowWriter<TrialRow>>(m_file, "datTrial", kInsertTrialRow,
                                                        trialRowParams);
}

std::vector<RecordedSession> SqlCipherResultStore::recordedSessions(const std::string& setting,
                                                                    const std::string& subject) {
  SqlCipherReads reads(m_file);
  return quarn::recordedSessions(reads, setting, subject);
}

RecordedRows SqlCipherResultStore::recordedRows(const RecordedSession& session) {
  SqlCipherReads reads(m_file);
  return quarn::recordedRows(reads, session);
}

}  // namespace quarn
