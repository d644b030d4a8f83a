#include "db/sqlcipher/SqlCipherTeamStore.h"

#include <filesystem>
#include <optional>
#include <set>

#include "base/Errors.h"
#include "base/Text.h"
#include "db/DbError.h"
#include "db/StoreSql.h"
#include "db/TeamRules.h"
#include "db/sqlcipher/CommitGroup.h"
#include "db/sqlcipher/ConnectionPool.h"
#include "db/sqlcipher/TeamChanges.h"

namespace quarn {

namespace {

// The User IDs marked as playing the setting at a workstation.
std::vector<std::string> loggedIn(SqlCipherConnection& db, const std::string& setting) {
  std::vector<std::string> subjects;
  for (const Row& row :
       db.query(R"(SELECT "Subject" FROM "datPlaying" WHERE "Setting" = ?)", {setting})) {
    subjects.push_back(row.cell("Subject").toText());
  }
  return subjects;
}

// The members who have played with the team: a trial begun (a datTeam row)
// or an order typed.
std::set<int16_t> playedMembers(SqlCipherConnection& db, const TeamKey& key) {
  std::set<int16_t> played;
  for (const Row& row : db.query(R"(SELECT "Member" FROM "datTeam"
                                    WHERE "Setting" = ? AND "Team" = ?
                                    UNION
                                    SELECT "Member" FROM "datTeamOrder"
                                    WHERE "Setting" = ? AND "Team" = ?)",
                                 {key.setting, key.team, key.setting, key.team})) {
    played.insert(row.cell("Member").toInt16());
  }
  return played;
}

std::vector<OpenMember> openMembers(SqlCipherConnection& db, const TeamKey& key) {
  std::vector<OpenMember> open;
  for (const Row& row :
       db.query(kSelectOpenMembers, {key.setting, key.team, key.setting, key.team})) {
    open.push_back({row.cell("Member").toInt16(), row.cell("Player").toText()});
  }
  return open;
}

std::vector<TeamMember> readMembers(SqlCipherConnection& db, const TeamKey& key) {
  const Rows rows = db.query(selectedColumns(teamMemberColumns()) +
                                 R"(WHERE "Setting" = ? AND "Team" = ? ORDER BY "Member")",
                             {key.setting, key.team});
  std::vector<TeamMember> members;
  for (const Row& row : rows) members.push_back(memberRowOf(row).member);
  markMembersHere(
      members, [&] { return loggedIn(db, key.setting); }, [&] { return playedMembers(db, key); });
  addOpenMembers(members, openMembers(db, key));
  return members;
}

std::vector<SettingMember> settingMembers(SqlCipherConnection& db, const std::string& setting) {
  return settingMembersOf(db.query(selectSettingMembersSql(), {setting}));
}

// A team whose open member numbers a simulated player took takes students
// only below them.
JoinDecision decideJoinOf(SqlCipherConnection& db, const TeamKey& key, const std::string& subject,
                          int16_t size) {
  const std::vector<SettingMember> all = settingMembers(db, key.setting);
  const int16_t places = studentPlaces(size, openMembers(db, storedKey(all, key)));
  return decideJoin(all, key, subject, places);
}

void insertMember(SqlCipherConnection& db, const TeamKey& key, int16_t member,
                  const std::string& subject, bool fixed) {
  static const std::string sql =
      insertSql(teamMemberColumns().table(), teamMemberColumns().columns());
  db.execute(sql, teamMemberColumns().params({key, {member, subject, fixed}}));
}

void insertFixedMembers(SqlCipherConnection& db, const TeamKey& key,
                        const std::vector<std::string>& subjects) {
  for (size_t i = 0; i < subjects.size(); ++i) {
    insertMember(db, key, static_cast<int16_t>(i + 1), subjects[i], true);
  }
}

bool found(SqlCipherConnection& db, const std::string& sql, const SqlParams& params) {
  return !db.query(sql, params).empty();
}

// A workstation writes a member's rows only with the secret of the member's
// mark, as the server's team functions do: one workstation cannot join,
// order or record for another's participant. The administration writes
// without one.
void checkMarkHeld(SqlCipherConnection& db, const std::string& subject, const std::string& secret,
                   const std::string& table) {
  if (secret.empty()) return;
  if (found(db, R"(SELECT 1 AS "Found" FROM "datPlaying" WHERE "Subject" = ? AND "Token" = ?)",
            {subject, secret})) {
    return;
  }
  throw DbError(DbErrorKind::Other, kErrDatabase,
                "This workstation does not hold the mark of " + subject, table);
}

// A workstation's order and trial row are stored only for a member of the
// team.
void checkMemberOfTeam(SqlCipherConnection& db, const TeamKey& key, int16_t member,
                       const std::string& subject, const std::string& secret,
                       const std::string& table) {
  if (secret.empty()) return;
  checkMarkHeld(db, subject, secret, table);
  if (found(db,
            R"(SELECT 1 AS "Found" FROM "datTeamMember"
               WHERE "Setting" = ? AND "Team" = ? AND "Member" = ? AND "Subject" = ?)",
            {key.setting, key.team, int64_t{member}, subject})) {
    return;
  }
  throw DbError(DbErrorKind::Other, kErrDatabase,
                subject + " is not member " + std::to_string(member) + " of team " + key.team +
                    " of setting " + key.setting,
                table);
}

// Whether the team has begun to play: a typed order or a datTeam row.
bool hasPlayed(SqlCipherConnection& db, const TeamKey& key) {
  return found(db,
               R"(SELECT 1 AS "Found" FROM "datTeamOrder" WHERE "Setting" = ? AND "Team" = ?
                  UNION ALL
                  SELECT 1 FROM "datTeam" WHERE "Setting" = ? AND "Team" = ?)",
               {key.setting, key.team, key.setting, key.team});
}

// Whether a simulated player plays the member's stage in the team's
// experiment trial `trial` from `week` on (from any week when `week` is 0).
bool isReplaced(SqlCipherConnection& db, const TeamKey& key, int16_t trial, int16_t member,
                int16_t week = 0) {
  return found(
      db,
      R"(SELECT 1 AS "Found" FROM "datTeam"
                  WHERE "Setting" = ? AND "Team" = ? AND "Trial" = ? AND "Member" = ?
                        AND "Player" IS NOT NULL AND (? = 0 OR "FromWeek" <= ?))",
      {key.setting, key.team, int64_t{trial}, int64_t{member}, int64_t{week}, int64_t{week}});
}

// Whether the member's row of the team's trial is there (its own, or a
// replacement's).
bool hasTrialRow(SqlCipherConnection& db, const TeamKey& key, int16_t trial, int16_t member) {
  return found(db,
               R"(SELECT 1 AS "Found" FROM "datTeam"
                  WHERE "Setting" = ? AND "Team" = ? AND "Trial" = ? AND "Member" = ?)",
               {key.setting, key.team, int64_t{trial}, int64_t{member}});
}

std::string memberSubject(SqlCipherConnection& db, const TeamKey& key, int16_t member) {
  for (const TeamMember& m : readMembers(db, key)) {
    if (m.member == member) return m.subject;
  }
  refuseReplacing(key, member, "the team has no such member");
}

// Role columns name players apart from the letter case of ASCII letters.
void checkPlayerExists(SqlCipherConnection& db, const TeamKey& key, const std::string& player) {
  for (const Row& row : db.query(R"(SELECT "Name" FROM "tblPlayer" WHERE "Name" IS NOT NULL)")) {
    if (equalsIgnoringAsciiCase(row.cell("Name").toText(), player)) return;
  }
  refuseUnknownPlayer(key, player);
}

// The team's latest experiment trial among its typed orders; 1 before any.
int16_t latestTrial(SqlCipherConnection& db, const TeamKey& key) {
  const Rows rows = db.query(R"(SELECT max("Trial") AS "Trial" FROM "datTeamOrder"
                                WHERE "Setting" = ? AND "Team" = ? AND "Training" = 0)",
                             {key.setting, key.team});
  const Cell trial = rows.front().cell("Trial");
  return trial.isNull() ? int16_t{1} : trial.toInt16();
}

// The member's highest week ordered in the experiment trial; 0 before any.
int64_t highestOrderedWeek(SqlCipherConnection& db, const TeamKey& key, int16_t trial,
                           int16_t member) {
  const Rows rows = db.query(R"(SELECT max("Week") AS "Week" FROM "datTeamOrder"
                                WHERE "Setting" = ? AND "Team" = ? AND "Trial" = ?
                                      AND "Training" = 0 AND "Member" = ?)",
                             {key.setting, key.team, int64_t{trial}, int64_t{member}});
  const Cell week = rows.front().cell("Week");
  return week.isNull() ? 0 : week.toInt32();
}

int64_t secondsSince1970() {
  return std::chrono::duration_cast<std::chrono::seconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

// Runs `change` under the file's write lock, held from its start: every
// change of a team reads what it decides on under that lock. It returns
// once the change is on disk (see writeToFile); a change may run more than
// once before, so it sets what it tells its caller anew each time.
void changeTeams(const SqlCipherFile& file, const FileWrite& change) {
  writeToFile(file.path, file.waiter, Durability::Synced, change);
}

// The week clock's order is made by the workstation of `caller`, a member
// of the team, for the order's member (the administration needs no check).
void checkClockCaller(SqlCipherConnection& db, const TeamKey& key, const TypedOrder& order,
                      const std::string& caller, const std::string& secret) {
  if (secret.empty()) return;
  checkMarkHeld(db, caller, secret, "datTeamOrder");
  const bool callerIsMember = found(db,
                                    R"(SELECT 1 AS "Found" FROM "datTeamMember"
               WHERE "Setting" = ? AND "Team" = ? AND "Subject" = ?)",
                                    {key.setting, key.team, caller});
  const bool orderNamesMember =
      found(db,
            R"(SELECT 1 AS "Found" FROM "datTeamMember"
               WHERE "Setting" = ? AND "Team" = ? AND "Member" = ? AND "Subject" = ?)",
            {key.setting, key.team, int64_t{order.member}, order.subject});
  if (callerIsMember && orderNamesMember) return;
  throw DbError(DbErrorKind::Other, kErrDatabase,
                caller + " cannot order for member " + std::to_string(order.member) + " of team " +
                    key.team + " of setting " + key.setting,
                "datTeamOrder");
}

// Whether the order's week ran out of time: it began when the last order of
// the week before was stored (week 1: its first order), and lasts the
// setting's WeekSeconds.
bool weekTimeRanOut(SqlCipherConnection& db, const TeamKey& key, const TypedOrder& order) {
  const Rows seconds = db.query(
      R"(SELECT "WeekSeconds" FROM "tblSetting" WHERE "Setting" = ? ORDER BY rowid LIMIT 1)",
      {key.setting});
  const int64_t weekSeconds =
      seconds.empty() ? 0 : static_cast<int64_t>(seconds.front().cell("WeekSeconds").toDouble());
  const bool firstWeek = order.week <= 1;
  const Rows start =
      db.query(std::string("SELECT ") + (firstWeek ? "min" : "max") + R"(("Stored") AS "Start"
               FROM "datTeamOrder" WHERE "Setting" = ? AND "Team" = ? AND "Trial" = ?
                    AND "Training" = ? AND "Week" = ?)",
               {key.setting, key.team, int64_t{order.trial}, int64_t{order.training ? 1 : 0},
                int64_t{firstWeek ? 1 : order.week - 1}});
  if (weekSeconds <= 0 || start.empty() || start.front().cell("Start").isNull()) return false;
  return secondsSince1970() >=
         static_cast<int64_t>(start.front().cell("Start").toDouble()) + weekSeconds;
}

// Stores the member's first order of the week; false when there is one
// already or a simulated player replaces the member.
bool storeFirstOrder(SqlCipherConnection& db, const TeamKey& key, const TypedOrder& order) {
  // A replacement made at the same moment either came first, and the order
  // is refused, or sees the order stored. A training order is never
  // replaced.
  if (!order.training && isReplaced(db, key, order.trial, order.member, order.week)) {
    return false;
  }
  // The first order of the member's week counts: one sent again after a
  // lost answer is not doubled.
  if (found(db,
            R"(SELECT 1 AS "Found" FROM "datTeamOrder"
               WHERE "Setting" = ? AND "Team" = ? AND "Trial" = ? AND "Training" = ?
                     AND "Week" = ? AND "Member" = ?)",
            {key.setting, key.team, int64_t{order.trial}, int64_t{order.training ? 1 : 0},
             int64_t{order.week}, int64_t{order.member}})) {
    return false;
  }
  static const std::string sql =
      insertSql(teamOrderColumns().table(), teamOrderColumns().columns());
  db.execute(sql, teamOrderColumns().params({key, order, secondsSince1970()}));
  return true;
}

}  // namespace

std::string SqlCipherTeamStore::boardName(const TeamKey& key) const {
  // One file may be named by several paths; the board tells its changes
  // apart by the absolute one.
  const std::string file = std::filesystem::absolute(m_file.path).lexically_normal().string();
  return file + '\x1f' + key.setting + '\x1f' + foldedName(key.team);
}

void SqlCipherTeamStore::tellChange(const TeamKey& key) const {
  TeamChanges::instance().tell(boardName(key));
}

TeamJoin SqlCipherTeamStore::join(const TeamKey& key, const std::string& subject, int16_t size,
                                  const std::string& secret) {
  TeamJoin answer;
  std::optional<TeamKey> stored;
  changeTeams(m_file, [&](SqlCipherConnection& db) {
    const JoinDecision decision = decideJoinOf(db, key, subject, size);
    answer = decision.answer;
    stored.reset();
    if (!decision.isNew) return;
    checkMarkHeld(db, subject, secret, "datTeamMember");
    stored = TeamKey{key.setting, decision.answer.team};
    insertMember(db, *stored, *decision.answer.member, subject, false);
  });
  if (stored) tellChange(*stored);
  return answer;
}

TeamJoin SqlCipherTeamStore::wouldJoin(const TeamKey& key, const std::string& subject,
                                       int16_t size) {
  const PooledConnection db = connectTo(m_file.path, OpenMode::ReadOnly, m_file.waiter);
  return decideJoinOf(*db, key, subject, size).answer;
}

std::string SqlCipherTeamStore::fixMembers(const TeamKey& key,
                                           const std::vector<std::string>& subjects) {
  checkFixable(key, subjects, "fixed");
  std::string team;
  changeTeams(m_file, [&](SqlCipherConnection& db) {
    const std::vector<SettingMember> all = settingMembers(db, key.setting);
    const TeamKey stored = storedKey(all, key);
    const std::vector<TeamMember> present = readMembers(db, stored);
    if (!present.empty()) refuseFixingPresent(stored, present);
    checkNotInOtherTeam(all, stored, subjects, "fixed");
    insertFixedMembers(db, stored, subjects);
    team = stored.team;
  });
  return team;
}

std::string SqlCipherTeamStore::correctMembers(const TeamKey& key,
                                               const std::vector<std::string>& subjects) {
  checkFixable(key, subjects, "corrected");
  TeamKey stored;
  changeTeams(m_file, [&](SqlCipherConnection& db) {
    const std::vector<SettingMember> all = settingMembers(db, key.setting);
    stored = storedKey(all, key);
    if (hasPlayed(db, stored)) refuseFixing(stored, "it has played already", "corrected");
    checkNotInOtherTeam(all, stored, subjects, "corrected");
    checkLoggedInKeepTheirPlaces(stored, readMembers(db, stored), subjects,
                                 loggedIn(db, stored.setting));
    db.execute(R"(DELETE FROM "datTeamMember" WHERE "Setting" = ? AND "Team" = ?)",
               {stored.setting, stored.team});
    insertFixedMembers(db, stored, subjects);
  });
  // Members waiting for the team look at it again.
  tellChange(stored);
  return stored.team;
}

std::vector<TeamMember> SqlCipherTeamStore::members(const TeamKey& key) {
  const PooledConnection db = connectTo(m_file.path, OpenMode::ReadOnly, m_file.waiter);
  return readMembers(*db, key);
}

bool SqlCipherTeamStore::storeOrder(const TeamKey& key, const TypedOrder& order,
                                    const std::string& secret) {
  bool stored = false;
  changeTeams(m_file, [&](SqlCipherConnection& db) {
    checkMemberOfTeam(db, key, order.member, order.subject, secret, "datTeamOrder");
    stored = storeFirstOrder(db, key, order);
  });
  if (stored) tellChange(key);
  return stored;
}

bool SqlCipherTeamStore::storeClockOrder(const TeamKey& key, const TypedOrder& order,
                                         const std::string& caller, const std::string& secret) {
  bool stored = false;
  changeTeams(m_file, [&](SqlCipherConnection& db) {
    checkClockCaller(db, key, order, caller, secret);
    stored = (caller == order.subject || weekTimeRanOut(db, key, order)) &&
             storeFirstOrder(db, key, order);
  });
  if (stored) tellChange(key);
  return stored;
}

std::vector<TypedOrder> SqlCipherTeamStore::orders(const TeamKey& key, int16_t trial,
                                                   bool training) {
  const PooledConnection db = connectTo(m_file.path, OpenMode::ReadOnly, m_file.waiter);
  const Rows rows =
      db->query(selectedColumns(teamOrderColumns()) +
                    R"(WHERE "Setting" = ? AND "Team" = ? AND "Trial" = ? AND "Training" = ?
                       ORDER BY "Week", "Member")",
                {key.setting, key.team, int64_t{trial}, int64_t{training ? 1 : 0}});
  std::vector<TypedOrder> orders;
  for (const Row& row : rows) orders.push_back(teamOrderColumns().read(row).order);
  return orders;
}

TeamTraining SqlCipherTeamStore::training(const TeamKey& key, int16_t member) {
  const PooledConnection db = connectTo(m_file.path, OpenMode::ReadOnly, m_file.waiter);
  const Rows rows =
      db->query(selectedColumns(teamOrderColumns()) +
                    R"(WHERE "Setting" = ? AND "Team" = ? AND "Training" = 1 AND "Week" = 0)",
                {key.setting, key.team});
  std::vector<TypedOrder> marks;
  for (const Row& row : rows) marks.push_back(teamOrderColumns().read(row).order);
  return trainingOf(marks, member);
}

void SqlCipherTeamStore::recordMember(const TeamKey& key, const TeamTrialMember& row,
                                      const std::string& secret) {
  // A member's own stage: the replacement's columns stay empty (Null).
  static const std::vector<std::string> columns = [] {
    std::vector<std::string> own = teamTrialColumns().columns();
    std::erase_if(own, [](const std::string& c) { return c == "Player" || c == "FromWeek"; });
    return own;
  }();
  changeTeams(m_file, [&](SqlCipherConnection& db) {
    checkMemberOfTeam(db, key, row.member, row.subject, secret, "datTeam");
    if (hasTrialRow(db, key, row.trial, row.member)) return;
    db.execute(insertSql(teamTrialColumns().table(), columns),
               teamTrialColumns().params({key, row}, columns));
  });
}

std::vector<TeamTrialMember> SqlCipherTeamStore::replacements(const TeamKey& key, int16_t trial) {
  const PooledConnection db = connectTo(m_file.path, OpenMode::ReadOnly, m_file.waiter);
  const Rows rows = db->query(selectedColumns(teamTrialColumns()) +
                                  R"(WHERE "Setting" = ? AND "Team" = ? AND "Trial" = ?
                                           AND "Player" IS NOT NULL
                                     ORDER BY "Member")",
                              {key.setting, key.team, int64_t{trial}});
  std::vector<TeamTrialMember> replaced;
  for (const Row& row : rows) replaced.push_back(teamTrialColumns().read(row).member);
  return replaced;
}

TeamTrialMember SqlCipherTeamStore::replace(
    const TeamKey& key, int16_t member, const std::string& player,
    const std::function<MemberTrialShape(int16_t)>& shapeOf) {
  std::optional<TeamTrialMember> replaced;
  changeTeams(m_file, [&](SqlCipherConnection& db) {
    const std::string subject = memberSubject(db, key, member);
    checkPlayerExists(db, key, player);
    const int16_t trial = latestTrial(db, key);
    const TeamTrialMember row = replacementStart(
        member, subject, player, trial, highestOrderedWeek(db, key, trial, member), shapeOf);
    if (isReplaced(db, key, row.trial, member)) {
      refuseReplacing(key, member,
                      "it is replaced in trial " + std::to_string(row.trial) + " already");
    }
    // The member's own row of the trial, there already, takes the player.
    if (hasTrialRow(db, key, row.trial, member)) {
      db.execute(R"(UPDATE "datTeam" SET "Player" = ?, "FromWeek" = ?
                    WHERE "Setting" = ? AND "Team" = ? AND "Trial" = ? AND "Member" = ?)",
                 {row.player, int64_t{row.fromWeek}, key.setting, key.team, int64_t{row.trial},
                  int64_t{member}});
    } else {
      db.execute(insertSql(teamTrialColumns().table(), teamTrialColumns().columns()),
                 teamTrialColumns().params({key, row}));
    }
    replaced = row;
  });
  tellChange(key);
  return *replaced;
}

void SqlCipherTeamStore::giveOpenMembers(const TeamKey& key, int16_t firstOpen,
                                         const std::string& player, const TeamTrialRoles& trials) {
  static const std::string sql = insertSql(teamTrialColumns().table(), openMemberColumns());
  TeamKey stored;
  changeTeams(m_file, [&](SqlCipherConnection& db) {
    checkPlayerExists(db, key, player);
    stored = storedKey(settingMembers(db, key.setting), key);
    const std::vector<TeamTrialMember> rows =
        openMemberRows(stored, firstOpen, player, trials, readMembers(db, stored));
    for (const TeamTrialMember& row : rows) {
      if (hasTrialRow(db, stored, row.trial, row.member)) continue;
      db.execute(sql, teamTrialColumns().params({stored, row}, openMemberColumns()));
    }
  });
  tellChange(stored);
}

SqlCipherTeamStore::~SqlCipherTeamStore() {
  if (m_wake) TeamChanges::instance().setWake(m_watched, this, {});
}

void SqlCipherTeamStore::wakeOnChange(std::function<void()> wake) {
  m_wake = std::move(wake);
  if (!m_watched.empty()) TeamChanges::instance().setWake(m_watched, this, m_wake);
}

bool SqlCipherTeamStore::waitForChange(const TeamKey& key, std::chrono::milliseconds timeout) {
  TeamChanges& board = TeamChanges::instance();
  const std::string name = boardName(key);
  if (name != m_watched) {
    if (m_wake) {
      board.setWake(m_watched, this, {});
      board.setWake(name, this, m_wake);
    }
    m_watched = name;
    m_seen = board.count(name);
    return true;
  }
  const uint64_t now = board.waitPast(name, m_seen, timeout);
  if (now == m_seen) return false;
  m_seen = now;
  return true;
}

}  // namespace quarn
