#include "db/SqlCipherParticipantStore.h"

#include <set>

#include "db/SqlCipherRowWriter.h"
#include "db/StoreSql.h"

namespace quarn {

namespace {

// A file declares its whole numbers INTEGER, whatever their size.
std::string fileType(const MarkColumn& column) {
  return std::string(column.type) == "TEXT" ? "TEXT" : "INTEGER";
}

std::string createMarksSql() {
  std::string sql =
      R"(CREATE TABLE IF NOT EXISTS "datPlaying" ("Subject" TEXT NOT NULL PRIMARY KEY,
           "Setting" TEXT, "Host" TEXT NOT NULL, "Process" INTEGER NOT NULL,
           "Since" INTEGER NOT NULL, "LastWeek" INTEGER NOT NULL)";
  for (const MarkColumn& column : kMarkActivityColumns) {
    sql += std::string(", \"") + column.name + "\" " + fileType(column);
  }
  return sql + ")";
}

// A write transaction on the marks' table, made first when the file lacks
// it; a table from before the activity columns gets them once per store.
// The marks are no results: a refresh lost to a power cut costs nothing, so
// the writes are not synced.
class MarkTransaction {
 public:
  MarkTransaction(const SqlCipherFile& file, bool& columnsChecked)
      : m_connection(file.path, OpenMode::ReadWrite, file.waiter) {
    m_connection.executeScript("PRAGMA synchronous=OFF;");
    // The table's definition is committed on its own: a claim that finds
    // another mark writes nothing else.
    if (!columnsChecked) {
      m_connection.execute(createMarksSql());
      addMissingColumns();
      columnsChecked = true;
    }
    m_transaction.emplace(m_connection);
    m_connection.execute(createMarksSql());
  }
  void commit() { m_transaction->commit(); }

  void addMissingColumns() {
    std::set<std::string> present;
    for (const Row& row : m_connection.query(R"(PRAGMA table_info("datPlaying"))")) {
      present.insert(row.cell("name").toText());
    }
    for (const MarkColumn& column : kMarkActivityColumns) {
      if (present.count(column.name)) continue;
      m_connection.execute(std::string(R"(ALTER TABLE "datPlaying" ADD COLUMN ")") + column.name +
                           "\" " + fileType(column));
    }
  }
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
  MarkTransaction marks(m_file, m_markColumnsChecked);
  std::optional<PlayingMark> present = marks.present(mine.subject);
  if (present && keeps(*present)) return present;
  marks.connection().execute(kDeleteMarkOfSubject, {mine.subject});
  marks.connection().execute(insertMarkSql(true), markParams(mine, true));
  marks.commit();
  return std::nullopt;
}

std::optional<PlayingMark> SqlCipherParticipantStore::touchPlaying(const PlayingMark& mine) {
  MarkTransaction marks(m_file, m_markColumnsChecked);
  const int changed = marks.connection().execute(touchMarkSql(true), touchParams(mine, true));
  if (changed == 1) {
    marks.commit();
    return std::nullopt;
  }
  PlayingMark nobody;
  nobody.subject = mine.subject;
  return marks.present(mine.subject).value_or(nobody);
}

void SqlCipherParticipantStore::clearPlaying(const PlayingMark& mine) {
  MarkTransaction marks(m_file, m_markColumnsChecked);
  marks.connection().execute(kDeleteMark, markKeyParams(mine));
  marks.commit();
}

}  // namespace quarn
