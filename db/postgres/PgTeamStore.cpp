#include "db/postgres/PgTeamStore.h"

#include <set>

#include "base/Errors.h"
#include "base/Numbers.h"
#include "db/StoreSql.h"
#include "db/postgres/PgError.h"
#include "db/postgres/PgSql.h"

namespace quarn {

namespace {

constexpr const char* kChannel = "quarn_team";

// The notification's payload: the setting and the team, apart by a unit
// separator, which neither name can hold unseen.
std::string payloadOf(const TeamKey& key) {
  return key.setting + '\x1f' + key.team;
}

PgResult run(PgConnection& db, const char* sql, const SqlParams& params) {
  return db.exec(numberedParameters(sql), params);
}

// Joins and fixings of one team wait for each other: the member numbers
// are counted under this lock, held to the end of the transaction.
void lockTeam(PgConnection& db, const TeamKey& key) {
  run(db, "SELECT pg_advisory_xact_lock(hashtext(?))", {payloadOf(key)});
}

void notifyTeam(PgConnection& db, const TeamKey& key) {
  run(db, "SELECT pg_notify(?, ?)", {std::string(kChannel), payloadOf(key)});
}

std::vector<TeamMember> readMembers(PgConnection& db, const TeamKey& key) {
  const Rows rows = rowsOf(run(db,
                               R"(SELECT "Member", "Subject", "Fixed" FROM "datTeamMember"
                                  WHERE "Setting" = ? AND "Team" = ? ORDER BY "Member")",
                               {key.setting, key.team}));
  std::vector<TeamMember> members;
  for (const Row& row : rows) {
    members.push_back(
        {row.cell("Member").toInt16(), row.cell("Subject").toText(), row.cell("Fixed").toBool()});
  }
  return members;
}

void insertMember(PgConnection& db, const TeamKey& key, int16_t member, const std::string& subject,
                  bool fixed) {
  run(db,
      R"(INSERT INTO "datTeamMember" ("Setting", "Team", "Member", "Subject", "Fixed")
         VALUES (?, ?, ?, ?, ?))",
      {key.setting, key.team, int64_t{member}, subject, int64_t{fixed ? 1 : 0}});
}

[[noreturn]] void refuseFixing(const TeamKey& key, const std::string& why) {
  throw DbError(DbErrorKind::Refused, kErrDatabase,
                "The members of team " + key.team + " of setting " + key.setting +
                    " cannot be fixed: " + why);
}

void checkFixable(const TeamKey& key, const std::vector<std::string>& subjects) {
  if (subjects.empty() || subjects.size() > 4) {
    refuseFixing(
        key, "a team has 1 to 4 members, not " + decimal(static_cast<int64_t>(subjects.size())));
  }
  std::set<std::string> seen;
  for (const std::string& subject : subjects) {
    if (!seen.insert(subject).second) refuseFixing(key, subject + " is named twice");
  }
}

}  // namespace

TeamJoin PgTeamStore::join(const TeamKey& key, const std::string& subject, int16_t size) {
  return m_pool.run([&](PgConnection& db) -> TeamJoin {
    PgTransaction transaction(db);
    lockTeam(db, key);
    const std::vector<TeamMember> members = readMembers(db, key);
    for (const TeamMember& m : members) {
      if (m.subject == subject) return {m.member, false};
    }
    const bool fixed = !members.empty() && members.front().fixed;
    if (fixed || static_cast<int64_t>(members.size()) >= size) return {std::nullopt, true};
    const auto member = static_cast<int16_t>(members.size() + 1);
    insertMember(db, key, member, subject, false);
    notifyTeam(db, key);
    transaction.commit();
    return {member, false};
  });
}

void PgTeamStore::fixMembers(const TeamKey& key, const std::vector<std::string>& subjects) {
  checkFixable(key, subjects);
  m_pool.run([&](PgConnection& db) {
    PgTransaction transaction(db);
    lockTeam(db, key);
    const std::vector<TeamMember> present = readMembers(db, key);
    if (!present.empty()) {
      std::string names;
      for (const TeamMember& m : present) names += (names.empty() ? "" : ", ") + m.subject;
      refuseFixing(key, "it has members already (" + names + ")");
    }
    for (size_t i = 0; i < subjects.size(); ++i) {
      insertMember(db, key, static_cast<int16_t>(i + 1), subjects[i], true);
    }
    transaction.commit();
  });
}

std::vector<TeamMember> PgTeamStore::members(const TeamKey& key) {
  return m_pool.run([&](PgConnection& db) { return readMembers(db, key); });
}

bool PgTeamStore::storeOrder(const TeamKey& key, const TypedOrder& order) {
  return m_pool.run([&](PgConnection& db) {
    PgTransaction transaction(db);
    const PgResult stored =
        run(db,
            R"(INSERT INTO "datTeamOrder" ("Setting", "Team", "Trial",
                                     "Training", "Week", "Member", "Order", "Subject",
                                     "TransactionTime")
                                   VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)
                                   ON CONFLICT DO NOTHING)",
            {key.setting, key.team, int64_t{order.trial}, int64_t{order.training ? 1 : 0},
             int64_t{order.week}, int64_t{order.member}, int64_t{order.order}, order.subject,
             int64_t{order.transactionTime}});
    if (stored.affectedRows == 1) notifyTeam(db, key);
    transaction.commit();
    return stored.affectedRows == 1;
  });
}

std::vector<TypedOrder> PgTeamStore::orders(const TeamKey& key, int16_t trial, bool training) {
  const Rows rows = m_pool.run([&](PgConnection& db) {
    return rowsOf(run(db,
                      R"(SELECT "Trial", "Training", "Week", "Member", "Order", "Subject",
                                "TransactionTime"
                         FROM "datTeamOrder"
                         WHERE "Setting" = ? AND "Team" = ? AND "Trial" = ? AND "Training" = ?
                         ORDER BY "Week", "Member")",
                      {key.setting, key.team, int64_t{trial}, int64_t{training ? 1 : 0}}));
  });
  std::vector<TypedOrder> orders;
  for (const Row& row : rows) {
    orders.push_back({row.cell("Trial").toInt16(), row.cell("Training").toBool(),
                      row.cell("Week").toInt16(), row.cell("Member").toInt16(),
                      row.cell("Order").toInt32(), row.cell("Subject").toText(),
                      row.cell("TransactionTime").toInt32()});
  }
  return orders;
}

void PgTeamStore::recordMember(const TeamKey& key, const TeamTrialMember& row) {
  m_pool.run([&](PgConnection& db) {
    run(db,
        R"(INSERT INTO "datTeam" ("Setting", "Team", "Trial", "Member", "Role", "Subject")
           VALUES (?, ?, ?, ?, ?, ?) ON CONFLICT DO NOTHING)",
        {key.setting, key.team, int64_t{row.trial}, int64_t{row.member}, row.role, row.subject});
  });
}

std::vector<TeamTrialMember> PgTeamStore::replacements(const TeamKey& key, int16_t trial) {
  const Rows rows = m_pool.run([&](PgConnection& db) {
    return rowsOf(run(db,
                      R"(SELECT "Trial", "Member", "Role", "Subject", "Player", "FromWeek"
                         FROM "datTeam"
                         WHERE "Setting" = ? AND "Team" = ? AND "Trial" = ?
                               AND "Player" IS NOT NULL
                         ORDER BY "Member")",
                      {key.setting, key.team, int64_t{trial}}));
  });
  std::vector<TeamTrialMember> replaced;
  for (const Row& row : rows) {
    replaced.push_back({row.cell("Trial").toInt16(), row.cell("Member").toInt16(),
                        row.cell("Role").toText(), row.cell("Subject").toText(),
                        row.cell("Player").toText(), row.cell("FromWeek").toInt16()});
  }
  return replaced;
}

TeamTrialMember PgTeamStore::replace(const TeamKey& key, int16_t, const std::string&,
                                     const std::function<MemberTrialShape(int16_t)>&) {
  throw DbError(DbErrorKind::Refused, kErrDatabase,
                "Replacing a member of team " + key.team + " is not built yet");
}

bool PgTeamStore::waitForChange(const TeamKey& key, std::chrono::milliseconds timeout) {
  if (!m_listener || m_listener->broken()) {
    m_listener.reset();
    auto listener = std::make_unique<PgConnection>(m_connectionString());
    listener->exec(std::string("LISTEN ") + kChannel);
    m_listener = std::move(listener);
    return true;
  }
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  const std::string mine = payloadOf(key);
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() < 0) return false;
    for (const std::string& payload : m_listener->waitForNotifications(left)) {
      if (payload == mine) return true;
    }
  }
}

void PgTeamStore::reset(std::function<std::string()> connectionString) {
  m_connectionString = std::move(connectionString);
  m_listener.reset();
}

}  // namespace quarn
