#include "db/sqlcipher/SqlCipherParticipantStore.h"

#include "db/DbError.h"
#include "db/StoreSql.h"
#include "db/sqlcipher/CommitGroup.h"
#include "db/sqlcipher/InsertTransaction.h"

namespace quarn {

namespace {

// `sql`, whose last condition is "Subject" = ?, without regard to letter case.
std::string caseBlind(const char* sql) {
  return std::string(sql) + " COLLATE " + kCaseBlindCollation;
}

// A new participant's row, stored unless datUser holds the User ID in any
// letter case. The check runs under the transaction's write lock, so two
// workstations registering "CaseRace" and "caserace" at once are one after
// the other: the second one finds the first one's row. (No index does it:
// the collation exists only on the application's connections, and an index
// on it would leave the file unwritable for the sqlcipher shell.)
class Registration final : public RowWriter<ParticipantRow> {
 public:
  explicit Registration(const SqlCipherFile& file)
      : m_transaction(file.path, "datUser", file.waiter) {}
  void insert(const ParticipantRow& row) override {
    const Rows taken = m_transaction.connection().query(
        caseBlind(R"(SELECT "Subject" FROM "datUser" WHERE "Subject" = ?)"), {row.subject});
    if (!taken.empty()) {
      throw DbError(DbErrorKind::KeyCollision, kErrDuplicateKey,
                    "Duplicate value in index or primary key (datUser.Subject: " +
                        taken.front().cell("Subject").toText() + ", in another letter case)",
                    "datUser");
    }
    m_transaction.insert(insertParticipantRowSql(), participantRowParams(row));
  }
  void commit() override { m_transaction.commit(); }

 private:
  InsertTransaction m_transaction;
};

// A write of the marks' table. The marks are no results: a refresh lost to
// a power cut costs nothing, so the writes are not synced (unless they share
// a grouped commit with results).
void writeMarks(const SqlCipherFile& file, const FileWrite& write) {
  writeToFile(file.path, file.waiter, Durability::Unsynced, write);
}

std::optional<PlayingMark> presentMark(SqlCipherConnection& db, const std::string& subject) {
  const Rows rows = db.query(caseBlind(kSelectMark), {subject});
  if (rows.empty()) return std::nullopt;
  return markOf(rows.front());
}

}  // namespace

std::optional<std::string> SqlCipherParticipantStore::findParticipant(const std::string& subject) {
  const PooledConnection connection = connectTo(m_file.path, OpenMode::ReadOnly, m_file.waiter);
  // As given first (the key's index finds it at once), then case-blind.
  for (const std::string& sql :
       {std::string(R"(SELECT "Subject" FROM "datUser" WHERE "Subject" = ?)"),
        std::string(R"(SELECT "Subject" FROM "datUser" WHERE "Subject" = ? COLLATE )") +
            kCaseBlindCollation}) {
    const Rows rows = connection->query(sql, {subject});
    if (!rows.empty()) return rows.front().cell("Subject").toText();
  }
  return std::nullopt;
}

std::optional<int16_t> SqlCipherParticipantStore::highestTrial(const std::string& subject,
                                                               const std::string& setting) {
  return quarn::highestTrial(m_reads, subject, setting);
}

std::optional<int16_t> SqlCipherParticipantStore::lowestTrial(const std::string& subject,
                                                              const std::string& setting) {
  return quarn::lowestTrial(m_reads, subject, setting);
}

bool SqlCipherParticipantStore::trialRecorded(const std::string& subject,
                                              const std::string& setting, int16_t trial) {
  return quarn::trialRecorded(m_reads, subject, setting, trial);
}

std::optional<int16_t> SqlCipherParticipantStore::highestWeek(const std::string& subject,
                                                              const std::string& setting,
                                                              int16_t trial) {
  return quarn::highestWeek(m_reads, subject, setting, trial);
}

std::unique_ptr<RowWriter<ParticipantRow>> SqlCipherParticipantStore::openRegistration() {
  return std::make_unique<Registration>(m_file);
}

std::optional<PlayingMark> SqlCipherParticipantStore::markPlaying(const PlayingMark& mine,
                                                                  const MarkJudge& keeps) {
  m_file.pendingTouch.reset();
  m_file.checkedConnection.reset();
  std::optional<PlayingMark> kept;
  writeMarks(m_file, [&](SqlCipherConnection& db) {
    kept = presentMark(db, mine.subject);
    if (kept && keeps(*kept, std::nullopt)) return;
    kept.reset();
    db.execute(caseBlind(kDeleteMarkOfSubject), {mine.subject});
    db.execute(insertMarkSql(), markParams(mine));
  });
  return kept;
}

// The week's refresh (the participant watches its shipment) is checked here
// (a read) and stored with the week's rows that follow it, on the
// connection of the check; one that no week's rows took along (a trial
// without database output) is stored on its own at the next refresh. Any
// other refresh tells the live view of a new state or a workstation alive:
// it is stored at once.
std::optional<PlayingMark> SqlCipherParticipantStore::touchPlaying(const PlayingMark& mine) {
  m_file.checkedConnection.reset();
  if (m_file.pendingTouch) {
    writeMarks(m_file, [this](SqlCipherConnection& db) { storePendingTouch(m_file, db); });
  }
  PooledConnection connection = connectTo(m_file.path, OpenMode::ReadWrite, m_file.waiter);
  const Rows rows = connection->query(caseBlind(kSelectMark), {mine.subject});
  if (!rows.empty()) {
    const PlayingMark present = markOf(rows.front());
    if (present.subject == mine.subject && present.at == mine.at) {
      m_file.pendingTouch = mine;
      if (mine.activity.state && *mine.activity.state != PlayState::Watching) {
        connection.reset();
        writeMarks(m_file, [this](SqlCipherConnection& db) { storePendingTouch(m_file, db); });
        return std::nullopt;
      }
      m_file.checkedConnection = std::move(connection);
      return std::nullopt;
    }
    return present;
  }
  PlayingMark nobody;
  nobody.subject = mine.subject;
  return nobody;
}

void storePendingTouch(const SqlCipherFile& file, SqlCipherConnection& connection) {
  if (!file.pendingTouch) return;
  connection.execute(touchMarkSql(), touchParams(*file.pendingTouch));
  file.pendingTouch.reset();
}

PooledConnection takeCheckedConnection(const SqlCipherFile& file) {
  PooledConnection connection = std::move(file.checkedConnection);
  if (connection && connection->path() == file.path) return connection;
  connection.reset();
  return connectTo(file.path, OpenMode::ReadWrite, file.waiter);
}

void SqlCipherParticipantStore::clearPlaying(const PlayingMark& mine) {
  m_file.pendingTouch.reset();
  m_file.checkedConnection.reset();
  writeMarks(m_file,
             [&](SqlCipherConnection& db) { db.execute(kDeleteMark, markKeyParams(mine)); });
}

}  // namespace quarn
