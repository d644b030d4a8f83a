#include "db/sqlcipher/SqlCipherResultStore.h"

#include "db/DbError.h"
#include "db/StoreSql.h"
#include "db/sqlcipher/InsertTransaction.h"
#include "db/sqlcipher/SqlCipherReads.h"
#include "db/sqlcipher/SqlCipherRowWriter.h"

namespace quarn {

namespace {

// A week's four rows, and the workstation mark's refresh that waits for them,
// in one transaction. A refresh that fails (a file from before the marks)
// is dropped: it must not cost the week.
class WeekRows final : public RowWriter<WeekRow> {
 public:
  explicit WeekRows(const SqlCipherFile& file)
      : m_file(file), m_transaction(takeCheckedConnection(file), "datRole") {}
  void insert(const WeekRow& row) override {
    m_transaction.insert(insertWeekRowSql(), weekRowParams(row));
  }
  void commit() override {
    try {
      storePendingTouch(m_file, m_transaction.connection());
    } catch (const DbError&) {
      m_file.pendingTouch.reset();
    }
    m_transaction.commit();
  }

 private:
  const SqlCipherFile& m_file;
  InsertTransaction m_transaction;
};

}  // namespace

std::unique_ptr<RowWriter<WeekRow>> SqlCipherResultStore::openWeekRows() {
  return std::make_unique<WeekRows>(m_file);
}

std::unique_ptr<RowWriter<TrialRow>> SqlCipherResultStore::openTrialRows() {
  return std::make_unique<SqlCipherRowWriter<TrialRow>>(m_file, "datTrial", insertTrialRowSql(),
                                                        trialRowParams);
}

std::vector<RecordedSession> SqlCipherResultStore::recordedSessions(const std::string& setting,
                                                                    const std::string& subject) {
  SqlCipherReads reads(m_file);
  return quarn::recordedSessions(reads, setting, subject);
}

std::vector<RecordedSession> SqlCipherResultStore::trainingSessions(const std::string& setting,
                                                                    const std::string& subject) {
  SqlCipherReads reads(m_file);
  return quarn::trainingSessions(reads, setting, subject);
}

RecordedRows SqlCipherResultStore::recordedRows(const RecordedSession& session) {
  SqlCipherReads reads(m_file);
  return quarn::recordedRows(reads, session);
}

RecordKeys SqlCipherResultStore::recordKeys(const std::string& setting,
                                            const std::string& subject) {
  SqlCipherReads reads(m_file);
  return quarn::recordKeys(reads, setting, subject);
}

}  // namespace quarn
