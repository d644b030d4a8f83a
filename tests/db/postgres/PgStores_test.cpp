#include "db/postgres/PgStores.h"

#include <gtest/gtest.h>

#include "db/DatabaseAccess.h"
#include "db/DbError.h"
#include "tests/db/postgres/CuttingRelay.h"
#include "tests/support/EngineDatabases.h"
#include "tests/support/FixedRandom.h"
#include "tests/support/ScriptedPrompter.h"

namespace quarn::testing {
namespace {

// Stores of their own on the test's tables, named so that their
// connections can be found on the server.
struct NamedStores {
  explicit NamedStores(const ServerDatabase& db)
      : name("quarn_lost_" + std::to_string(getpid())),
        stores(db.connection() + " application_name=" + name) {}

  // What a restarted server or a broken network link does to them.
  void loseConnections() {
    PgConnection admin(testServerUri());
    admin.exec("SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE application_name = $1",
               {name});
  }

  std::string name;
  PgStores stores;
};

TEST(PgStores, ReadAfterLostConnectionsConnectsAnew) {
  ServerDatabase db;
  db.insert("tblBlock", {{"Setting", "A"}});
  NamedStores named(db);
  ASSERT_EQ(named.stores.plan().settings(), std::vector<std::string>{"A"});
  named.loseConnections();
  EXPECT_EQ(named.stores.plan().settings(), std::vector<std::string>{"A"});
}

// The week's rows are written again into a new transaction on a new
// connection, each once.
TEST(PgStores, WeekWriteAfterLostConnectionIsStoredOnceByTheNextTry) {
  ServerDatabase db;
  NamedStores named(db);
  auto writer = named.stores.results().openWeekRows();
  WeekRow row;
  row.subject = "P1";
  row.setting = "A";
  row.week = 1;
  row.role = "Factory";
  writer->insert(row);
  named.loseConnections();
  row.role = "Retailer";
  EXPECT_THROW(writer->insert(row), DbError);
  writer->insert(row);
  writer->commit();
  EXPECT_EQ(db.count("datRole"), 2);
}

struct TrialOne final : TrialNumbering {
  int16_t trial() const override { return 1; }
  int16_t afterCollision(int16_t rowTrial) override { return static_cast<int16_t>(rowTrial + 1); }
};

// A week written through the application's database access over a relay
// that can lose the server (see CuttingRelay); the moderator ends the
// session at the outage question.
struct RelayedSession {
  explicit RelayedSession(const ServerDatabase& db) : stores(relay.through(db.connection())) {
    access.setOutageLimit(std::chrono::milliseconds(300));
    prompter.byKind[PromptKind::DatabaseRetry] = Answer::No;
  }

  void writeWeek() {
    std::array<WeekRow, kRoleCount> rows;
    for (int r = 0; r < kRoleCount; ++r) {
      rows[r].subject = "P1";
      rows[r].setting = "A";
      rows[r].week = 1;
      rows[r].role = roleName(r);
    }
    access.writeWeek(rows, "Trial 1, week 1 of P1", numbering);
  }

  CuttingRelay relay;
  PgStores stores;
  ScriptedPrompter prompter;
  FixedRandom random{{0.0}};
  DatabaseAccess access{stores, prompter, random};
  TrialOne numbering;
};

// The moderator would end the session; the server comes back first.
TEST(PgStores, OutageQuestionClosesByItselfWhenTheServerIsBack) {
  ServerDatabase db;
  RelayedSession session(db);
  session.relay.setReachable(false);
  session.prompter.answeredByWait = std::chrono::seconds(5);
  session.prompter.whileOpen = [&](const ScriptedPrompter::Shown&) {
    session.relay.setReachable(true);
  };
  session.writeWeek();
  EXPECT_EQ(session.prompter.count(PromptKind::DatabaseRetry), 1);
  EXPECT_EQ(db.count("datRole"), 4);
}

TEST(PgStores, EndingAfterALostCommitSaysNothingOfAWeekTheServerStored) {
  ServerDatabase db;
  RelayedSession session(db);
  session.relay.cutAfterNextCommit();
  session.prompter.whileOpen = [&](const ScriptedPrompter::Shown& box) {
    if (box.kind == PromptKind::DatabaseRetry) session.relay.setReachable(true);
  };
  EXPECT_THROW(session.writeWeek(), ApplicationEnd);
  ASSERT_TRUE(session.relay.cut());
  EXPECT_EQ(session.prompter.count(PromptKind::DatabaseNotStored), 0);
  EXPECT_EQ(db.count("datRole"), 4);
}

TEST(PgStores, EndingAfterALostCommitWithTheServerAwaySaysTheWeekMayNotBeStored) {
  ServerDatabase db;
  RelayedSession session(db);
  session.relay.cutAfterNextCommit();
  EXPECT_THROW(session.writeWeek(), ApplicationEnd);
  ASSERT_TRUE(session.relay.cut());
  EXPECT_EQ(session.prompter.last().kind, PromptKind::DatabaseNotStored);
  EXPECT_EQ(session.prompter.last().prompt,
            "Trial 1, week 1 of P1 may not have been stored in the database: the lab server's "
            "answer to it was lost, and the server cannot be reached to look it up.  The "
            "application ends.");
  EXPECT_EQ(db.count("datRole"), 4);
}

}  // namespace
}  // namespace quarn::testing
