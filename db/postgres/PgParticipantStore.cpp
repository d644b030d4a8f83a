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

// The marks are dated by the server's clock, never by a workstation's: two
// workstations whose clocks differ still judge a mark's age alike.
constexpr const char* kServerNow = "SELECT extract(epoch FROM clock_timestamp())::bigint AS now";
constexpr const char* kSelectMarkCaseBlind =
    R"(SELECT * FROM "datPlaying"
       WHERE lower("Subject" COLLATE "und-x-icu") = lower(? COLLATE "und-x-icu"))";
constexpr const char* kServerEpoch = "extract(epoch FROM now())::bigint";

// The mark's insert, dated by the server.
std::string insertMarkNow() {
  std::string columns = R"("Subject", "Setting", "Host", "Process", "Since", "LastWeek")";
  std::string values = std::string("?, ?, ?, ?, ") + kServerEpoch + ", " + kServerEpoch;
  for (const char* column : kMarkActivityColumns) {
    columns += std::string(", \"") + column + "\"";
    values += ", ?";
  }
  return R"(INSERT INTO "datPlaying" ()" + columns + ") VALUES (" + values + ")";
}

// The refresh, dated by the server, with what the participant does unless
// the role may update LastWeek only.
std::string touchMarkNow(bool withActivity) {
  std::string set = std::string(R"("LastWeek" = )") + kServerEpoch;
  if (withActivity) {
    for (const char* column : kMarkActivityColumns) set += std::string(", \"") + column + "\" = ?";
  }
  return R"(UPDATE "datPlaying" SET )" + set +
         R"( WHERE "Subject" = ? AND "Host" = ? AND "Process" = ?)";
}

SqlParams withoutTimes(const PlayingMark& mark) {
  SqlParams params{mark.subject, mark.setting, mark.at.host, mark.at.process};
  // markParams() ends with the activity, after the two times.
  const SqlParams all = markParams(mark);
  params.insert(params.end(), all.begin() + 6, all.end());
  return params;
}

SqlParams touchNowParams(const PlayingMark& mark, bool withActivity) {
  if (!withActivity) return markKeyParams(mark);
  // touchParams() starts with the time that the server gives here.
  SqlParams params = touchParams(mark);
  params.erase(params.begin());
  return params;
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

bool PgParticipantStore::trialRecorded(const std::string& subject, const std::string& setting,
                                       int16_t trial) {
  return quarn::trialRecorded(m_reads, subject, setting, trial);
}

std::optional<int16_t> PgParticipantStore::highestWeek(const std::string& subject,
                                                       const std::string& setting, int16_t trial) {
  return quarn::highestWeek(m_reads, subject, setting, trial);
}

std::unique_ptr<RowWriter<ParticipantRow>> PgParticipantStore::openRegistration() {
  return std::make_unique<PgRowWriter<ParticipantRow>>(m_pool, kParticipantRows,
                                                       participantRowParams);
}

std::optional<PlayingMark> PgParticipantStore::presentMark(PgConnection& db,
                                                           const std::string& subject, bool lock) {
  const PgResult rows =
      db.exec(numberedParameters(std::string(kSelectMarkCaseBlind) + (lock ? " FOR UPDATE" : "")),
              {subject});
  if (rows.rows.empty()) return std::nullopt;
  return markOf(rowsOf(rows).front());
}

// The present mark is locked while it is judged, so that a second claim
// waits for the first one's decision.
std::optional<PlayingMark> PgParticipantStore::markPlaying(const PlayingMark& mine,
                                                           const MarkJudge& keeps) {
  struct Claim {
    bool collided = false;             // another login added a mark meanwhile
    std::optional<PlayingMark> other;  // the mark that keeps the participant
  };
  for (int attempt = 1;; ++attempt) {
    const Claim claim = m_pool.run([&](PgConnection& db) -> Claim {
      PgTransaction transaction(db);
      const std::optional<PlayingMark> present = presentMark(db, mine.subject, true);
      if (present) {
        const int64_t now = std::get<int64_t>(db.exec(kServerNow).rows.at(0).at(0));
        if (keeps(*present, now)) return {false, present};
        // Only the mark judged (and locked) goes: a mark another login added
        // in the meantime makes the insert below collide instead of being
        // removed unseen.
        run(db, kDeleteMark, markKeyParams(*present));
      }
      try {
        run(db, insertMarkNow(), withoutTimes(mine));
      } catch (const PgError& failure) {
        if (failure.pgKind() == PgErrorKind::KeyCollision && attempt < kClaimAttempts) {
          return {true, std::nullopt};
        }
        throw;
      }
      transaction.commit();
      return {};
    });
    if (!claim.collided) return claim.other;
  }
}

std::optional<PlayingMark> PgParticipantStore::touchPlaying(const PlayingMark& mine) {
  try {
    return touch(mine, !m_refreshesLastWeekOnly);
  } catch (const PgError& failure) {
    // A workstation role granted its rights before the marks said what the
    // participant does may update LastWeek only (until `grant` is run
    // again): the refresh must not be lost for that, since an unrefreshed
    // mark stops keeping the participant.
    if (failure.sqlState() != "42501" || m_refreshesLastWeekOnly) throw;
    m_refreshesLastWeekOnly = true;
    return touch(mine, false);
  }
}

std::optional<PlayingMark> PgParticipantStore::touch(const PlayingMark& mine, bool activity) {
  return m_pool.run([&](PgConnection& db) -> std::optional<PlayingMark> {
    if (run(db, touchMarkNow(activity), touchNowParams(mine, activity)).affectedRows == 1) {
      return std::nullopt;
    }
    PlayingMark nobody;
    nobody.subject = mine.subject;
    return presentMark(db, mine.subject, false).value_or(nobody);
  });
}

void PgParticipantStore::clearPlaying(const PlayingMark& mine) {
  m_pool.run([&](PgConnection& db) { run(db, kDeleteMark, markKeyParams(mine)); });
}

}  // namespace quarn
