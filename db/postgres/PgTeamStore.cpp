#include "db/postgres/PgTeamStore.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <set>

#include "base/Errors.h"
#include "base/Numbers.h"
#include "base/Text.h"
#include "db/StoreSql.h"
#include "db/TeamRules.h"
#include "db/postgres/PgError.h"
#include "db/postgres/PgRoles.h"
#include "db/postgres/PgSql.h"

namespace quarn {

namespace {

// The notification's payload: the setting and the team, apart by a unit
// separator, which neither name can hold unseen.
std::string payloadOf(const TeamKey& key) {
  return key.setting + '\x1f' + key.team;
}

// Each team has a channel of its own, so that a change reaches only the
// workstations of that team's members, not every waiting member of every
// team. A channel's name is an identifier of at most 63 bytes: it carries
// a hash (64-bit FNV-1a) of the payload, which names the team in full for
// two teams whose hashes meet.
std::string channelOf(const TeamKey& key) {
  uint64_t hash = 14695981039346656037ULL;
  for (const unsigned char c : payloadOf(key)) {
    hash ^= c;
    hash *= 1099511628211ULL;
  }
  char digits[16];
  const auto end = std::to_chars(digits, digits + sizeof digits, hash, 16).ptr;
  return "quarn_team_" + std::string(digits, end);
}

PgResult run(PgConnection& db, const std::string& sql, const SqlParams& params) {
  return db.exec(numberedParameters(sql), params);
}

// Writes `record` through the team function that checks the workstation's
// secret.
template <class Record>
PgResult callTeamFunction(PgConnection& db, const TeamFunction& function,
                          const RecordColumns<Record>& columns, const Record& record,
                          const std::string& secret) {
  SqlParams params = columns.params(record, parameterColumns(function));
  params.emplace_back(secret);
  return run(db, teamFunctionCallSql(function), params);
}

// The team's lock is taken by its name in any letter case: "green" and
// "Green" are one team.
std::string lockNameOf(const TeamKey& key) {
  return key.setting + '\x1f' + foldedName(key.team);
}

// Joins and fixings of one team wait for each other: the member numbers
// are counted under this lock, held to the end of the transaction.
void lockTeam(PgConnection& db, const TeamKey& key) {
  run(db, "SELECT pg_advisory_xact_lock(hashtext(?))", {lockNameOf(key)});
}

// Orders hold the team's lock shared: a replacement (which holds it alone)
// waits for the orders being stored, and they for it.
void lockTeamShared(PgConnection& db, const TeamKey& key) {
  run(db, "SELECT pg_advisory_xact_lock_shared(hashtext(?))", {lockNameOf(key)});
}

void notifyTeam(PgConnection& db, const TeamKey& key) {
  run(db, "SELECT pg_notify(?, ?)", {channelOf(key), payloadOf(key)});
}

// The User IDs marked as playing the setting at a workstation.
std::vector<std::string> loggedIn(PgConnection& db, const std::string& setting) {
  std::vector<std::string> subjects;
  for (const Row& row :
       rowsOf(run(db, R"(SELECT "Subject" FROM "datPlaying" WHERE "Setting" = ?)", {setting}))) {
    subjects.push_back(row.cell("Subject").toText());
  }
  return subjects;
}

// The members who have played with the team: a trial begun (a datTeam row)
// or an order typed.
std::set<int16_t> playedMembers(PgConnection& db, const TeamKey& key) {
  std::set<int16_t> played;
  for (const Row& row : rowsOf(run(db,
                                   R"(SELECT "Member" FROM "datTeam"
                                      WHERE "Setting" = ? AND "Team" = ?
                                      UNION
                                      SELECT "Member" FROM "datTeamOrder"
                                      WHERE "Setting" = ? AND "Team" = ?)",
                                   {key.setting, key.team, key.setting, key.team}))) {
    played.insert(row.cell("Member").toInt16());
  }
  return played;
}

std::vector<OpenMember> openMembers(PgConnection& db, const TeamKey& key) {
  std::vector<OpenMember> open;
  for (const Row& row :
       rowsOf(run(db, kSelectOpenMembers, {key.setting, key.team, key.setting, key.team}))) {
    open.push_back({row.cell("Member").toInt16(), row.cell("Player").toText()});
  }
  return open;
}

std::vector<TeamMember> readMembers(PgConnection& db, const TeamKey& key) {
  const Rows rows = rowsOf(run(db,
                               selectedColumns(teamMemberColumns()) +
                                   R"(WHERE "Setting" = ? AND "Team" = ? ORDER BY "Member")",
                               {key.setting, key.team}));
  std::vector<TeamMember> members;
  for (const Row& row : rows) members.push_back(memberRowOf(row).member);
  markMembersHere(
      members, [&] { return loggedIn(db, key.setting); }, [&] { return playedMembers(db, key); });
  addOpenMembers(members, openMembers(db, key));
  return members;
}

std::vector<SettingMember> settingMembers(PgConnection& db, const std::string& setting) {
  return settingMembersOf(rowsOf(run(db, selectSettingMembersSql(), {setting})));
}

// A team whose open member numbers a simulated player took takes students
// only below them.
JoinDecision decideJoinOf(PgConnection& db, const TeamKey& key, const std::string& subject,
                          int16_t size) {
  const std::vector<SettingMember> all = settingMembers(db, key.setting);
  const int16_t places = studentPlaces(size, openMembers(db, storedKey(all, key)));
  return decideJoin(all, key, subject, places);
}

void insertMember(PgConnection& db, const TeamKey& key, int16_t member, const std::string& subject,
                  bool fixed) {
  static const std::string sql =
      insertSql(teamMemberColumns().table(), teamMemberColumns().columns());
  run(db, sql, teamMemberColumns().params({key, {member, subject, fixed}}));
}

void insertFixedMembers(PgConnection& db, const TeamKey& key,
                        const std::vector<std::string>& subjects) {
  for (size_t i = 0; i < subjects.size(); ++i) {
    insertMember(db, key, static_cast<int16_t>(i + 1), subjects[i], true);
  }
}

// Whether the team has begun to play: a typed order or a datTeam row.
bool hasPlayed(PgConnection& db, const TeamKey& key) {
  return !rowsOf(run(db,
                     R"(SELECT 1 AS "Found" FROM "datTeamOrder" WHERE "Setting" = ? AND "Team" = ?
                        UNION ALL
                        SELECT 1 FROM "datTeam" WHERE "Setting" = ? AND "Team" = ?)",
                     {key.setting, key.team, key.setting, key.team}))
              .empty();
}

// Whether a simulated player plays the member's stage in the team's
// experiment trial `trial`.
bool isReplaced(PgConnection& db, const TeamKey& key, int16_t trial, int16_t member) {
  return !rowsOf(run(db,
                     R"(SELECT 1 AS "Found" FROM "datTeam"
                        WHERE "Setting" = ? AND "Team" = ? AND "Trial" = ?
                              AND "Member" = ? AND "Player" IS NOT NULL)",
                     {key.setting, key.team, int64_t{trial}, int64_t{member}}))
              .empty();
}

std::string memberSubject(PgConnection& db, const TeamKey& key, int16_t member) {
  for (const TeamMember& m : readMembers(db, key)) {
    if (m.member == member) return m.subject;
  }
  refuseReplacing(key, member, "the team has no such member");
}

// Role columns name players apart from the letter case of ASCII letters.
void checkPlayerExists(PgConnection& db, const TeamKey& key, const std::string& player) {
  const Rows rows =
      rowsOf(run(db, R"(SELECT "Name" FROM "tblPlayer" WHERE "Name" IS NOT NULL)", {}));
  for (const Row& row : rows) {
    if (equalsIgnoringAsciiCase(row.cell("Name").toText(), player)) return;
  }
  refuseUnknownPlayer(key, player);
}

// The team's latest experiment trial among its typed orders; 1 before any.
int16_t latestTrial(PgConnection& db, const TeamKey& key) {
  const Rows rows = rowsOf(run(db,
                               R"(SELECT max("Trial") AS "Trial" FROM "datTeamOrder"
                                  WHERE "Setting" = ? AND "Team" = ? AND "Training" = 0)",
                               {key.setting, key.team}));
  const Cell trial = rows.front().cell("Trial");
  return trial.isNull() ? int16_t{1} : trial.toInt16();
}

// The member's highest week ordered in the experiment trial; 0 before any.
int64_t highestOrderedWeek(PgConnection& db, const TeamKey& key, int16_t trial, int16_t member) {
  const Rows rows = rowsOf(run(db,
                               R"(SELECT max("Week") AS "Week" FROM "datTeamOrder"
                                  WHERE "Setting" = ? AND "Team" = ? AND "Trial" = ?
                                        AND "Training" = 0 AND "Member" = ?)",
                               {key.setting, key.team, int64_t{trial}, int64_t{member}}));
  const Cell week = rows.front().cell("Week");
  return week.isNull() ? 0 : week.toInt32();
}

}  // namespace

TeamJoin PgTeamStore::join(const TeamKey& key, const std::string& subject, int16_t size,
                           const std::string& secret) {
  return m_pool.run([&](PgConnection& db) -> TeamJoin {
    PgTransaction transaction(db);
    lockTeam(db, key);
    const JoinDecision decision = decideJoinOf(db, key, subject, size);
    if (!decision.isNew) return decision.answer;
    const TeamKey stored{key.setting, decision.answer.team};
    // Written by the owner's function, which checks the secret.
    callTeamFunction(db, joinTeamFunction(), teamMemberColumns(),
                     {stored, {*decision.answer.member, subject, false}}, secret);
    notifyTeam(db, stored);
    transaction.commit();
    return decision.answer;
  });
}

TeamJoin PgTeamStore::wouldJoin(const TeamKey& key, const std::string& subject, int16_t size) {
  return m_pool.run([&](PgConnection& db) { return decideJoinOf(db, key, subject, size).answer; });
}

std::string PgTeamStore::fixMembers(const TeamKey& key, const std::vector<std::string>& subjects) {
  checkFixable(key, subjects, "fixed");
  return m_pool.run([&](PgConnection& db) {
    PgTransaction transaction(db);
    lockTeam(db, key);
    const std::vector<SettingMember> all = settingMembers(db, key.setting);
    const TeamKey stored = storedKey(all, key);
    const std::vector<TeamMember> present = readMembers(db, stored);
    if (!present.empty()) refuseFixingPresent(stored, present);
    checkNotInOtherTeam(all, stored, subjects, "fixed");
    insertFixedMembers(db, stored, subjects);
    transaction.commit();
    return stored.team;
  });
}

std::string PgTeamStore::correctMembers(const TeamKey& key,
                                        const std::vector<std::string>& subjects) {
  checkFixable(key, subjects, "corrected");
  return m_pool.run([&](PgConnection& db) {
    PgTransaction transaction(db);
    lockTeam(db, key);
    const std::vector<SettingMember> all = settingMembers(db, key.setting);
    const TeamKey stored = storedKey(all, key);
    if (hasPlayed(db, stored)) refuseFixing(stored, "it has played already", "corrected");
    checkNotInOtherTeam(all, stored, subjects, "corrected");
    checkLoggedInKeepTheirPlaces(stored, readMembers(db, stored), subjects,
                                 loggedIn(db, stored.setting));
    run(db, R"(DELETE FROM "datTeamMember" WHERE "Setting" = ? AND "Team" = ?)",
        {stored.setting, stored.team});
    insertFixedMembers(db, stored, subjects);
    // Members waiting for the team look at it again.
    notifyTeam(db, stored);
    transaction.commit();
    return stored.team;
  });
}

std::vector<TeamMember> PgTeamStore::members(const TeamKey& key) {
  return m_pool.run([&](PgConnection& db) { return readMembers(db, key); });
}

bool PgTeamStore::storeOrder(const TeamKey& key, const TypedOrder& order,
                             const std::string& secret) {
  return m_pool.run([&](PgConnection& db) {
    PgTransaction transaction(db);
    // A replacement made at the same moment either comes first, and the
    // order is refused, or sees the order stored. The members' orders share
    // the lock: they do not wait for each other.
    lockTeamShared(db, key);
    // Stored by the owner's function (which checks the secret) unless the
    // member is replaced in that experiment trial from this week on (a
    // training order never is), or has an order of the week already.
    const PgResult stored =
        callTeamFunction(db, storeTeamOrderFunction(), teamOrderColumns(), {key, order}, secret);
    const bool isNew = std::get<int64_t>(stored.rows.at(0).at(0)) != 0;
    if (isNew) notifyTeam(db, key);
    transaction.commit();
    return isNew;
  });
}

bool PgTeamStore::storeClockOrder(const TeamKey& key, const TypedOrder& order,
                                  const std::string& caller, const std::string& secret) {
  return m_pool.run([&](PgConnection& db) {
    PgTransaction transaction(db);
    lockTeamShared(db, key);
    // The owner's function checks the caller's mark and membership, and
    // for another member that the week's time ran out by the server's clock.
    SqlParams params =
        teamOrderColumns().params({key, order}, parameterColumns(storeClockOrderFunction()));
    params.emplace_back(caller);
    params.emplace_back(secret);
    const PgResult stored = run(db, clockOrderCallSql(), params);
    const bool isNew = std::get<int64_t>(stored.rows.at(0).at(0)) != 0;
    if (isNew) notifyTeam(db, key);
    transaction.commit();
    return isNew;
  });
}

std::vector<TypedOrder> PgTeamStore::orders(const TeamKey& key, int16_t trial, bool training) {
  const Rows rows = m_pool.run([&](PgConnection& db) {
    return rowsOf(run(db,
                      selectedColumns(teamOrderColumns()) +
                          R"(WHERE "Setting" = ? AND "Team" = ? AND "Trial" = ? AND "Training" = ?
                             ORDER BY "Week", "Member")",
                      {key.setting, key.team, int64_t{trial}, int64_t{training ? 1 : 0}}));
  });
  std::vector<TypedOrder> orders;
  for (const Row& row : rows) orders.push_back(teamOrderColumns().read(row).order);
  return orders;
}

TeamTraining PgTeamStore::training(const TeamKey& key, int16_t member) {
  const Rows rows = m_pool.run([&](PgConnection& db) {
    return rowsOf(run(db,
                      selectedColumns(teamOrderColumns()) +
                          R"(WHERE "Setting" = ? AND "Team" = ? AND "Training" = 1 AND "Week" = 0)",
                      {key.setting, key.team}));
  });
  std::vector<TypedOrder> marks;
  for (const Row& row : rows) marks.push_back(teamOrderColumns().read(row).order);
  return trainingOf(marks, member);
}

void PgTeamStore::recordMember(const TeamKey& key, const TeamTrialMember& row,
                               const std::string& secret) {
  m_pool.run([&](PgConnection& db) {
    callTeamFunction(db, recordTeamMemberFunction(), teamTrialColumns(), {key, row}, secret);
  });
}

std::vector<TeamTrialMember> PgTeamStore::replacements(const TeamKey& key, int16_t trial) {
  const Rows rows = m_pool.run([&](PgConnection& db) {
    return rowsOf(run(db,
                      selectedColumns(teamTrialColumns()) +
                          R"(WHERE "Setting" = ? AND "Team" = ? AND "Trial" = ?
                                   AND "Player" IS NOT NULL
                             ORDER BY "Member")",
                      {key.setting, key.team, int64_t{trial}}));
  });
  std::vector<TeamTrialMember> replaced;
  for (const Row& row : rows) replaced.push_back(teamTrialColumns().read(row).member);
  return replaced;
}

TeamTrialMember PgTeamStore::replace(const TeamKey& key, int16_t member, const std::string& player,
                                     const std::function<MemberTrialShape(int16_t)>& shapeOf) {
  return m_pool.run([&](PgConnection& db) {
    PgTransaction transaction(db);
    lockTeam(db, key);
    const std::string subject = memberSubject(db, key, member);
    checkPlayerExists(db, key, player);
    const int16_t trial = latestTrial(db, key);
    const TeamTrialMember row = replacementStart(
        member, subject, player, trial, highestOrderedWeek(db, key, trial, member), shapeOf);
    if (isReplaced(db, key, row.trial, member)) {
      refuseReplacing(key, member,
                      "it is replaced in trial " + decimal(int64_t{row.trial}) + " already");
    }
    // The member's own row of the trial, there already, takes the player.
    static const std::string sql =
        insertSql(teamTrialColumns().table(), teamTrialColumns().columns()) +
        R"( ON CONFLICT ("Setting", "Team", "Trial", "Member")
           DO UPDATE SET "Player" = excluded."Player", "FromWeek" = excluded."FromWeek")";
    run(db, sql, teamTrialColumns().params({key, row}));
    notifyTeam(db, key);
    transaction.commit();
    return row;
  });
}

void PgTeamStore::giveOpenMembers(const TeamKey& key, int16_t firstOpen, const std::string& player,
                                  const TeamTrialRoles& trials) {
  m_pool.run([&](PgConnection& db) {
    PgTransaction transaction(db);
    lockTeam(db, key);
    checkPlayerExists(db, key, player);
    const TeamKey stored = storedKey(settingMembers(db, key.setting), key);
    const std::vector<TeamTrialMember> rows =
        openMemberRows(stored, firstOpen, player, trials, readMembers(db, stored));
    // A row there already is kept.
    static const std::string sql =
        insertSql(teamTrialColumns().table(), openMemberColumns()) +
        R"( ON CONFLICT ("Setting", "Team", "Trial", "Member") DO NOTHING)";
    for (const TeamTrialMember& row : rows) {
      run(db, sql, teamTrialColumns().params({stored, row}, openMemberColumns()));
    }
    notifyTeam(db, stored);
    transaction.commit();
  });
}

bool PgTeamStore::waitForChange(const TeamKey& key, std::chrono::milliseconds timeout) {
  if (m_feed) {
    if (!m_subscription || m_subscription->payload() != payloadOf(key)) {
      m_subscription.reset();
      m_subscription = m_feed->subscribe(channelOf(key), payloadOf(key), m_wake);
    }
    return m_feed->waitForChange(*m_subscription, timeout);
  }
  bool fresh = false;
  const PgConnectionPool::Lease listener = m_pool.listening(channelOf(key), fresh);
  if (fresh) return true;
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  const std::string mine = payloadOf(key);
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() < 0) return false;
    for (const std::string& payload : listener->waitForNotifications(left)) {
      if (payload == mine) return true;
    }
  }
}

void PgTeamStore::wakeOnChange(std::function<void()> wake) {
  m_wake = std::move(wake);
  m_subscription.reset();  // the next wait subscribes with it
}

}  // namespace quarn
