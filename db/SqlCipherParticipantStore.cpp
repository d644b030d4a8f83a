#include "db/SqlCipherParticipantStore.h"

#include "db/SqlCipherRowWriter.h"
#include "db/StoreSql.h"

namespace quarn {

namespace {

// A write transaction on the marks' table. The marks are no results: a
// refresh lost to a power cut costs nothing, so the writes are not synced.
class MarkTransaction {
 public:
  explicit MarkTransaction(const SqlCipherFile& file)
      : m_connection(file.path, OpenMode::ReadWrite, file.waiter) {
    m_connection.executeScript("PRAGMA synchronous=OFF;");
    m_transaction.emplace(m_connection);
  }
  void commit() { m_transaction->commit(); }
  SqlCipherConnection& connection() { return m_connection; }

  std::optional<PlayingMark> present(const std::string& subject) {
    const Rows rows = m_connection.query(kSelectMark, {subject});
    if (rows.empty()) return std::nullopt;
    return markOf(rows.front());
  }

 private:
  SqlCipherConnection m_connection;
  std::optional<SqlTransaction> m_transaction;
};

}  // namespace

std::optional<std::string> SqlCipherParticipantStore::findParticipant(const std::string& subject) {
  SqlCipherConnection connection(m_file.path, OpenMode::ReadOnly, m_file.waiter);
  // As given first (the key's index finds it at once), then case-blind.
  for (const std::string& sql :
       {std::string(R"(SELECT "Subject" FROM "datUser" WHERE "Subject" = ?)"),
        std::string(R"(SELECT "Subject" FROM "datUser" WHERE "Subject" = ? COLLATE )") +
            kCaseBlindCollation}) {
    const Rows rows = connection.query(sql, {subject});
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

std::unique_ptr<RowWriter<ParticipantRow>> SqlCipherParticipantStore::openRegistration() {
  return std::make_unique<SqlCipherRowWriter<ParticipantRow>>(
      m_file, "datUser", kInsertParticipantRow, participantRowParams);
}

std::optional<PlayingMark> SqlCipherParticipantStore::markPlaying(
    const PlayingMark& mine, const std::function<bool(const PlayingMark&)>& keeps) {
  MarkTransaction marks(m_file);
  std::optional<PlayingMark> present = marks.present(mine.subject);
  if (present && keeps(*present)) return present;
  marks.connection().execute(kDeleteMarkOfSubject, {mine.subject});
  marks.connection().execute(kInsertMark, markParams(mine));
  marks.commit();
  return std::nullopt;
}

std::optional<PlayingMark> SqlCipherParticipantStore::touchPlaying(const PlayingMark& mine) {
  MarkTransaction marks(m_file);
  const int changed = marks.connection().execute(kTouchMark, touchParams(mine));
  if (changed == 1) {
    marks.commit();
    return std::nullopt;
  }
  PlayingMark nobody;
  nobody.subject = mine.subject;
  return marks.present(mine.subject).value_or(nobody);
}

void SqlCipherParticipantStore::clearPlaying(const PlayingMark& mine) {
  MarkTransaction marks(m_file);
  marks.connection().execute(kDeleteMark, markKeyParams(mine));
  marks.commit();
}

}  // namespace quarn
