#include "db/postgres/PgParticipantStore.h"

#include "base/Text.h"
#include "db/StoreSql.h"
#include "db/postgres/PgError.h"
#include "db/postgres/PgRowWriter.h"
#include "db/postgres/PgSql.h"

namespace quarn {

namespace {

const PgInsertTarget kParticipantRows{"datUser", kInsertParticipantRow, {{"Subject", 0}}};

// Two logins that race for one participant may both find no mark and both
// add theirs; the second addition then collides, and that claim starts over
// and finds the first one's mark.
constexpr int kClaimAttempts = 3;

PgResult run(PgConnection& db, const std::string& sql, const SqlParams& params) {
  return db.exec(numberedParameters(sql), params);
}

}  // namespace

// One query: the ICU root locale lowers letters of every script whatever the
// database's locale (its index serves the search), the row of exactly this
// spelling sorts first, and the rows the server found are held to the same
// comparison the file makes.
std::optional<std::string> PgParticipantStore::findParticipant(const std::string& subject) {
  const Rows rows = m_reads.query(
      R"(SELECT "Subject" FROM "datUser"
         WHERE lower("Subject" COLLATE "und-x-icu") = lower(? COLLATE "und-x-icu")
         ORDER BY "Subject" = ? DESC, rowid)",
      {subject, subject});
  for (const Row& row : rows) {
    std::string found = row.cell("Subject").toText();
    if (compareIgnoringCase(found, subject) == 0) return found;
  }
  return std::nullopt;
}

std::optional<int16_t> PgParticipantStore::highestTrial(const std::string& subject,
                                                        const std::string& setting) {
  return quarn::highestTrial(m_reads, subject, setting);
}

std::optional<int16_t> PgParticipantStore::lowestTrial(const std::string& subject,
                                                       const std::string& setting) {
  return quarn::lowestTrial(m_reads, subject, setting);
}

std::unique_ptr<RowWriter<ParticipantRow>> PgParticipantStore::openRegistration() {
  return std::make_unique<PgRowWriter<ParticipantRow>>(m_pool, kParticipantRows,
                                                       participantRowParams);
}

std::optional<PlayingMark> PgParticipantStore::presentMark(PgConnection& db,
                                                           const std::string& subject, bool lock) {
  const PgResult rows = db.exec(
      numberedParameters(std::string(kSelectMark) + (lock ? " FOR UPDATE" : "")), {subject});
  if (rows.rows.empty()) return std::nullopt;
  return markOf(rowsOf(rows).front());
}

// A server set up before the marks told what the participant does gets the
// activity columns once; a role that may not alter the table writes the
// marks as before.
bool PgParticipantStore::withActivity() {
  if (m_withActivity) return *m_withActivity;
  std::string sql = R"(ALTER TABLE "datPlaying")";
  const char* separator = " ";
  for (const MarkColumn& column : kMarkActivityColumns) {
    sql +=
        std::string(separator) + "ADD COLUMN IF NOT EXISTS \"" + column.name + "\" " + column.type;
    separator = ", ";
  }
  try {
    const PgConnectionPool::Lease db = m_pool.lease();
    // Altering takes the table's strongest lock: only when a column lacks.
    const PgResult present = db->exec(
        R"(SELECT 1 FROM information_schema.columns
           WHERE table_schema = current_schema() AND table_name = 'datPlaying'
             AND column_name = 'Cost')");
    if (present.rows.empty()) db->exec(sql);
    m_withActivity = true;
  } catch (const PgError&) {
    m_withActivity = false;
  }
  return *m_withActivity;
}

// The present mark is locked while it is judged, so that a second claim
// waits for the first one's decision.
std::optional<PlayingMark> PgParticipantStore::markPlaying(
    const PlayingMark& mine, const std::function<bool(const PlayingMark&)>& keeps) {
  for (int attempt = 1;; ++attempt) {
    const bool activity = withActivity();
    const PgConnectionPool::Lease db = m_pool.lease();
    PgTransaction claim(*db);
    const std::optional<PlayingMark> present = presentMark(*db, mine.subject, true);
    if (present && keeps(*present)) return present;
    // Only the mark judged (and locked) goes: a mark another login added in
    // the meantime makes the insert below collide instead of being removed
    // unseen.
    if (present) run(*db, kDeleteMark, markKeyParams(*present));
    try {
      run(*db, insertMarkSql(activity), markParams(mine, activity));
    } catch (const PgError& failure) {
      if (failure.pgKind() == PgErrorKind::KeyCollision && attempt < kClaimAttempts) continue;
      throw;
    }
    claim.commit();
    return std::nullopt;
  }
}

std::optional<PlayingMark> PgParticipantStore::touchPlaying(const PlayingMark& mine) {
  const bool activity = withActivity();
  const PgConnectionPool::Lease db = m_pool.lease();
  if (run(*db, touchMarkSql(activity), touchParams(mine, activity)).affectedRows == 1) {
    return std::nullopt;
  }
  PlayingMark nobody;
  nobody.subject = mine.subject;
  return presentMark(*db, mine.subject, false).value_or(nobody);
}

void PgParticipantStore::clearPlaying(const PlayingMark& mine) {
  const PgConnectionPool::Lease db = m_pool.lease();
  run(*db, kDeleteMark, markKeyParams(mine));
}

}  // namespace quarn
