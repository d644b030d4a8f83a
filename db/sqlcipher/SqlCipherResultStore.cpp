#include "db/sqlcipher/SqlCipherResultStore.h"

#include "db/DbError.h"
#include "db/StoreSql.h"
#include "db/sqlcipher/SqlCipherReads.h"
#include "db/sqlcipher/SqlCipherRowWriter.h"
#include "db/sqlcipher/SyncedInserts.h"

namespace quarn {

namespace {

// A week's four rows, and the workstation mark's refresh that waits for them,
// in one synced commit, on the connection the refresh was checked on (or,
// with grouped commits, the keys of the rows read on it). A refresh that
// fails (a file from before the marks) is dropped: it must not cost the
// week.
class WeekRows final : public RowWriter<WeekRow> {
 public:
  explicit WeekRows(const SqlCipherFile& file)
      : m_file(file), m_rows(file, "datRole", takeCheckedConnection(file)) {}
  void insert(const WeekRow& row) override {
    m_rows.insert(insertWeekRowSql(), weekRowParams(row));
  }
  void commit() override {
    m_rows.commit([this](SqlCipherConnection& db) {
      try {
        storePendingTouch(m_file, db);
      } catch (const DbError&) {
        m_file.pendingTouch.reset();
      }
    });
  }

 private:
  const SqlCipherFile& m_file;
  SyncedInserts m_rows;
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
