#include "db/SqlCipherParticipantStore.h"

#include "db/InsertTransaction.h"

namespace quarn {

namespace {

std::string textOrEmpty(const Row& row, const char* column) {
  const Cell cell = row.cell(column);
  return cell.isNull() ? std::string() : cell.toText();
}

int64_t wholeOrZero(const Row& row, const char* column) {
  const Cell cell = row.cell(column);
  const auto* value = std::get_if<int64_t>(&cell.value());
  return value ? *value : 0;
}

class RegistrationWriter final : public RowWriter<ParticipantRow> {
 public:
  explicit RegistrationWriter(const SqlCipherFile& file)
      : m_transaction(file.path, "datUser", file.waiter) {}

  void insert(const ParticipantRow& row) override {
    m_transaction.insert(
        R"(INSERT INTO "datUser" ("Subject", "Setting", "Age", "Gender", "SchoolYear", "Major")
           VALUES (?, ?, ?, ?, ?, ?))",
        {row.subject, row.setting, row.age ? CellValue{*row.age} : CellValue{}, row.gender,
         row.schoolYear, row.major});
  }
  void commit() override { m_transaction.commit(); }

 private:
  InsertTransaction m_transaction;
};

// A write transaction on the marks' table, made first when the file lacks
// it. The marks are no results: a refresh lost to a power cut costs
// nothing, so the writes are not synced.
class MarkTransaction {
 public:
  explicit MarkTransaction(const SqlCipherFile& file)
      : m_connection(file.path, OpenMode::ReadWrite, file.waiter) {
    m_connection.executeScript("PRAGMA synchronous=OFF;");
    m_transaction.emplace(m_connection);
    m_connection.execute(
        R"(CREATE TABLE IF NOT EXISTS "datPlaying" ("Subject" TEXT NOT NULL PRIMARY KEY,
             "Setting" TEXT, "Host" TEXT NOT NULL, "Process" INTEGER NOT NULL,
             "Since" INTEGER NOT NULL, "LastWeek" INTEGER NOT NULL))");
  }
  void commit() { m_transaction->commit(); }
  SqlCipherConnection& connection() { return m_connection; }

  std::optional<PlayingMark> present(const std::string& subject) {
    const Rows rows = m_connection.query(
        R"(SELECT "Subject", "Setting", "Host", "Process", "Since", "LastWeek"
           FROM "datPlaying" WHERE "Subject" = ?)",
        {subject});
    if (rows.empty()) return std::nullopt;
    const Row& row = rows.front();
    return PlayingMark{textOrEmpty(row, "Subject"),
                       textOrEmpty(row, "Setting"),
                       {textOrEmpty(row, "Host"), wholeOrZero(row, "Process")},
                       wholeOrZero(row, "Since"),
                       wholeOrZero(row, "LastWeek")};
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

std::optional<int16_t> SqlCipherParticipantStore::recordedTrial(const std::string& sql,
                                                                const std::string& subject,
                                                                const std::string& setting) {
  SqlCipherConnection connection(m_file.path, OpenMode::ReadOnly, m_file.waiter);
  const Rows rows = connection.query(sql, {subject, setting});
  const Cell trial = rows.front().cell("Trial");
  if (trial.isNull()) return std::nullopt;
  return trial.toInt16();
}

std::optional<int16_t> SqlCipherParticipantStore::highestTrial(const std::string& subject,
                                                               const std::string& setting) {
  return recordedTrial(
      R"(SELECT max("Trial") AS "Trial" FROM "datRole" WHERE "Subject" = ? AND "Setting" = ?)",
      subject, setting);
}

std::optional<int16_t> SqlCipherParticipantStore::lowestTrial(const std::string& subject,
                                                              const std::string& setting) {
  return recordedTrial(
      R"(SELECT min("Trial") AS "Trial" FROM "datRole" WHERE "Subject" = ? AND "Setting" = ?)",
      subject, setting);
}

std::unique_ptr<RowWriter<ParticipantRow>> SqlCipherParticipantStore::openRegistration() {
  return std::make_unique<RegistrationWriter>(m_file);
}

std::optional<PlayingMark> SqlCipherParticipantStore::markPlaying(
    const PlayingMark& mine, const std::function<bool(const PlayingMark&)>& keeps) {
  MarkTransaction marks(m_file);
  std::optional<PlayingMark> present = marks.present(mine.subject);
  if (present && keeps(*present)) return present;
  marks.connection().execute(R"(DELETE FROM "datPlaying" WHERE "Subject" = ?)", {mine.subject});
  marks.connection().execute(
      R"(INSERT INTO "datPlaying" ("Subject", "Setting", "Host", "Process", "Since", "LastWeek")
         VALUES (?, ?, ?, ?, ?, ?))",
      {mine.subject, mine.setting, mine.at.host, mine.at.process, mine.since, mine.lastWeek});
  marks.commit();
  return std::nullopt;
}

std::optional<PlayingMark> SqlCipherParticipantStore::touchPlaying(const PlayingMark& mine) {
  MarkTransaction marks(m_file);
  const int changed = marks.connection().execute(
      R"(UPDATE "datPlaying" SET "LastWeek" = ?
         WHERE "Subject" = ? AND "Host" = ? AND "Process" = ?)",
      {mine.lastWeek, mine.subject, mine.at.host, mine.at.process});
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
  marks.connection().execute(
      R"(DELETE FROM "datPlaying" WHERE "Subject" = ? AND "Host" = ? AND "Process" = ?)",
      {mine.subject, mine.at.host, mine.at.process});
  marks.commit();
}

}  // namespace quarn
