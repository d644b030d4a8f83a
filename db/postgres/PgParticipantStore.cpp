#include "db/postgres/PgParticipantStore.h"

#include "base/Text.h"
#include "db/StoreSql.h"
#include "db/postgres/PgError.h"
#include "db/postgres/PgRowWriter.h"
#include "db/postgres/PgSql.h"

namespace quarn {

namespace {

const PgInsertTarget& participantRows() {
  static const PgInsertTarget target =
      insertTargetOf(participantColumns(), insertParticipantRowSql());
  return target;
}

// Two logins that race for one participant may both find no mark, or both
// find the same one: the second claim then finds that its addition collides
// or that the mark it saw is gone, and starts over with the first one's mark.
constexpr int kClaimAttempts = 3;

PgResult run(PgConnection& db, const std::string& sql, const SqlParams& params) {
  return db.exec(numberedParameters(sql), params);
}

bool succeeded(const PgResult& result) {
  return std::get<int64_t>(result.rows.at(0).at(0)) != 0;
}

// The marks are dated by the server's clock, never by a workstation's: two
// workstations whose clocks differ still judge a mark's age alike.
constexpr const char* kServerNow = "SELECT extract(epoch FROM clock_timestamp())::bigint AS now";

std::string selectMarkCaseBlind() {
  return "SELECT " + markColumnsSql() + R"( FROM "datPlaying"
       WHERE lower("Subject" COLLATE "und-x-icu") = lower(? COLLATE "und-x-icu"))";
}

// The marks are changed only through the functions that createWorkstationFunctions()
// makes: a workstation's role has no right to change datPlaying itself.
constexpr const char* kActivityArguments =
    "?, ?::bigint, ?::bigint, ?::bigint, ?::bigint, ?, ?::bigint";

std::string newMarkArguments() {
  return std::string("?, ?, ?, ?::bigint, ") + kActivityArguments + ", ?";
}

SqlParams newMarkParams(const PlayingMark& mark) {
  SqlParams params{mark.subject, mark.setting, mark.at.host, mark.at.process};
  addActivity(params, mark.activity);
  params.emplace_back(mark.token);
  return params;
}

bool claimMark(PgConnection& db, const PlayingMark& mine) {
  return succeeded(
      run(db, "SELECT quarn_claim_mark(" + newMarkArguments() + ")", newMarkParams(mine)));
}

bool takeOverMark(PgConnection& db, const PlayingMark& seen, const PlayingMark& mine) {
  SqlParams params{seen.subject, seen.at.host, seen.at.process, seen.since};
  const SqlParams mark = newMarkParams(mine);
  params.insert(params.end(), mark.begin(), mark.end());
  return succeeded(
      run(db, "SELECT quarn_take_over_mark(?, ?, ?::bigint, ?::bigint, " + newMarkArguments() + ")",
          params));
}

bool refreshMark(PgConnection& db, const PlayingMark& mine) {
  SqlParams params{mine.subject, mine.token};
  addActivity(params, mine.activity);
  return succeeded(
      run(db, std::string("SELECT quarn_refresh_mark(?, ?, ") + kActivityArguments + ")", params));
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
  return std::make_unique<PgRowWriter<ParticipantRow>>(m_pool, participantRows(),
                                                       participantRowParams);
}

std::optional<PlayingMark> PgParticipantStore::presentMark(PgConnection& db,
                                                           const std::string& subject) {
  const PgResult rows = run(db, selectMarkCaseBlind(), {subject});
  if (rows.rows.empty()) return std::nullopt;
  return markOf(rowsOf(rows).front());
}

// A present mark is judged here and replaced only if it is still the mark
// judged: a mark that another login added or renewed in the meantime is
// never removed unseen.
std::optional<PlayingMark> PgParticipantStore::markPlaying(const PlayingMark& mine,
                                                           const MarkJudge& keeps) {
  struct Claim {
    bool raced = false;                // another login changed the mark meanwhile
    std::optional<PlayingMark> other;  // the mark that keeps the participant
  };
  for (int attempt = 1;; ++attempt) {
    const Claim claim = m_pool.run([&](PgConnection& db) -> Claim {
      const std::optional<PlayingMark> present = presentMark(db, mine.subject);
      if (present) {
        const int64_t now = std::get<int64_t>(db.exec(kServerNow).rows.at(0).at(0));
        if (keeps(*present, now)) return {false, present};
        return {!takeOverMark(db, *present, mine), std::nullopt};
      }
      return {!claimMark(db, mine), std::nullopt};
    });
    if (!claim.raced) return claim.other;
    if (attempt == kClaimAttempts) {
      throw PgError(
          PgErrorKind::KeyCollision, "23505",
          "The workstation mark of " + mine.subject + " changed at every attempt to claim it");
    }
  }
}

std::optional<PlayingMark> PgParticipantStore::touchPlaying(const PlayingMark& mine) {
  return m_pool.run([&](PgConnection& db) -> std::optional<PlayingMark> {
    if (refreshMark(db, mine)) return std::nullopt;
    PlayingMark nobody;
    nobody.subject = mine.subject;
    return presentMark(db, mine.subject).value_or(nobody);
  });
}

void PgParticipantStore::clearPlaying(const PlayingMark& mine) {
  m_pool.run([&](PgConnection& db) {
    run(db, "SELECT quarn_release_mark(?, ?)", {mine.subject, mine.token});
  });
}

}  // namespace quarn
