#include "db/postgres/PgRoles.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "db/ClassStore.h"
#include "db/DatabaseAdmin.h"
#include "db/postgres/PgStores.h"
#include "tests/support/EngineDatabases.h"

namespace quarn::testing {
namespace {

// A login role of its own, given the workstation's rights on the test's
// tables, and dropped at the end.
struct WorkstationRole {
  explicit WorkstationRole(const ServerDatabase& db)
      : name("ws_" + std::to_string(getpid())), connection(db.connection() + " user=" + name) {
    PgConnection admin(testServerUri());
    admin.exec("DROP ROLE IF EXISTS " + name);
    admin.exec("CREATE ROLE " + name + " LOGIN");
    grantWorkstation(db.choice(), name);
  }
  ~WorkstationRole() {
    try {
      PgConnection admin(testServerUri());
      admin.exec("DROP OWNED BY " + name);
      admin.exec("DROP ROLE " + name);
    } catch (const PgError&) {
      // The throw-away server goes with its roles.
    }
  }
  std::string name;
  std::string connection;
};

WeekRow weekRow(int16_t week, int role) {
  WeekRow row;
  row.subject = "P1";
  row.setting = "A";
  row.trial = 1;
  row.week = week;
  row.role = roleName(role);
  return row;
}

// Everything a session does, through the stores, as the workstation role.
TEST(WorkstationRole, PlaysAWholeSession) {
  ServerDatabase db;
  db.insert("tblBlock", {{"Setting", "A"}});
  db.insert("tblPlayer", {{"Name", "Sterman"}});
  WorkstationRole role(db);
  PgStores station(role.connection);

  EXPECT_EQ(station.plan().settings(), std::vector<std::string>{"A"});
  EXPECT_EQ(station.plan().blockRows("A").size(), 1u);
  EXPECT_EQ(station.plan().players().size(), 1u);
  EXPECT_EQ(station.plan().settingLanguage("A"), "");
  EXPECT_FALSE(station.participants().findParticipant("P1"));
  auto registration = station.participants().openRegistration();
  registration->insert({"P1", "A", 21, "F", "2", "Economics"});
  registration->commit();
  EXPECT_EQ(station.participants().findParticipant("p1"), "P1");
  const PlayingMark mine{"P1", "A", {"lab-1", 4711}, 0, 0, {}, "secret-mine"};
  EXPECT_FALSE(station.participants().markPlaying(
      mine, [](const PlayingMark&, std::optional<int64_t>) { return true; }));
  for (int16_t week = 1; week <= 3; ++week) {
    auto weekRows = station.results().openWeekRows();
    for (int r = 0; r < kRoleCount; ++r) weekRows->insert(weekRow(week, r));
    weekRows->commit();
    EXPECT_FALSE(station.participants().touchPlaying(mine));
  }
  TrialRow trial;
  trial.subject = "P1";
  trial.setting = "A";
  trial.trial = 1;
  auto trialRows = station.results().openTrialRows();
  trialRows->insert(trial);
  trialRows->commit();
  EXPECT_EQ(station.participants().highestTrial("P1", "A"), 1);
  EXPECT_EQ(station.teams().join({"A", "Blue"}, "P1", 2, mine.token).member, 1);
  EXPECT_TRUE(
      station.teams().storeOrder({"A", "Blue"}, {1, false, 1, 1, 4, "P1", 900}, mine.token));
  station.teams().recordMember({"A", "Blue"}, {1, 1, "Retailer", "P1", "", 0}, mine.token);
  EXPECT_TRUE(station.teams().waitForChange({"A", "Blue"}, std::chrono::milliseconds(0)));
  station.participants().clearPlaying(mine);

  EXPECT_EQ(db.count("datRole"), 12);
  EXPECT_EQ(db.count("datTrial"), 1);
  EXPECT_EQ(db.count("datPlaying"), 0);
  EXPECT_EQ(db.count("datTeamOrder"), 1);
  EXPECT_EQ(db.count("datTeam"), 1);
}

TEST(WorkstationRole, IsRefusedWhatNoSessionDoes) {
  ServerDatabase db;
  db.insert("tblBlock", {{"Setting", "A"}});
  db.insert("datUser", {{"Subject", "P1"}, {"Age", int64_t{21}}});
  db.insert("datRole", {{"Subject", "P1"},
                        {"Setting", "A"},
                        {"Trial", int64_t{1}},
                        {"Week", int64_t{1}},
                        {"Role", "Factory"}});
  db.insert("datPlaying", {{"Subject", "P1"},
                           {"Host", "lab-1"},
                           {"Process", int64_t{1}},
                           {"Since", int64_t{1}},
                           {"LastWeek", int64_t{1}}});
  WorkstationRole role(db);
  PgConnection station(role.connection);
  for (const char* sql : {
           R"(UPDATE "datRole" SET "Order" = 99)",
           R"(DELETE FROM "datRole")",
           R"(DELETE FROM "datUser")",
           R"(UPDATE "datUser" SET "Setting" = 'B')",
           R"(SELECT "Age" FROM "datUser")",
           R"(SELECT * FROM "datUser")",
           R"(UPDATE "tblBlock" SET "Runs" = 5)",
           R"(INSERT INTO "tblBlock" ("Setting") VALUES ('B'))",
           R"(DELETE FROM "tblBlock")",
           R"(DROP TABLE "datTrial")",
           R"(TRUNCATE "datRole")",
           R"(CREATE TABLE "extra" (x int))",
           R"(UPDATE "datPlaying" SET "Host" = 'elsewhere')",
           R"(UPDATE "datPlaying" SET "LastWeek" = 0)",
           R"(DELETE FROM "datPlaying")",
           R"(INSERT INTO "datPlaying" ("Subject", "Host", "Process", "Since", "LastWeek")
              VALUES ('P2', 'lab-2', 2, 2, 2))",
           R"(SELECT "Token" FROM "datPlaying")",
           R"(SELECT * FROM "datPlaying")",
           R"(UPDATE "datTeamMember" SET "Member" = 1)",
           R"(DELETE FROM "datTeamOrder")",
           // Team rows forged for another member: a typed order, a
           // replacement, a member filling the team.
           R"(INSERT INTO "datTeamOrder" ("Setting", "Team", "Trial", "Week", "Member", "Order")
              VALUES ('A', 'Blue', 1, 1, 2, 40))",
           R"(INSERT INTO "datTeam" ("Setting", "Team", "Trial", "Member", "Player", "FromWeek")
              VALUES ('A', 'Blue', 1, 2, 'Sterman', 1))",
           R"(INSERT INTO "datTeamMember" ("Setting", "Team", "Member", "Subject")
              VALUES ('A', 'Blue', 4, 'Filler'))",
           // A class's teacher password's hash (to guess at offline), and
           // what only the class's opening sets.
           R"(SELECT "Password" FROM "datClass")",
           R"(SELECT * FROM "datClass")",
           R"(UPDATE "datClass" SET "Password" = '')",
           R"(UPDATE "datClass" SET "Setting" = 'B')",
           R"(INSERT INTO "datClass" ("Code", "Setting") VALUES ('CCCCCC', 'A'))",
           R"(DELETE FROM "datClass")",
           R"(UPDATE "datClassMember" SET "Subject" = 'P9')",
           R"(DELETE FROM "datClassMember")",
       }) {
    SCOPED_TRACE(sql);
    const auto error = pgErrorOf([&] { station.exec(sql); });
    ASSERT_TRUE(error);
    EXPECT_EQ(error->sqlState(), "42501") << error->description();  // insufficient_privilege
  }
  EXPECT_EQ(db.count("datRole"), 1);
  EXPECT_EQ(db.count("datUser"), 1);
  EXPECT_EQ(db.count("tblBlock"), 1);
  EXPECT_EQ(db.count("datPlaying", R"("Host" = 'lab-1' AND "LastWeek" = 1)"), 1);
}

// A server connected as a workstation serves a class: its students join
// and are placed, the teacher's password is checked and the teacher's
// start, pause and words are stored.
TEST(WorkstationRole, ServesAClass) {
  ServerDatabase db;
  ClassRow row;
  row.code = "AAAAAA";
  row.setting = "A";
  row.password = hashClassPassword("chalk");
  db.stores().classes().open(row, drawClassCode);
  WorkstationRole role(db);
  PgStores station(role.connection);
  ClassStore& classes = station.classes();

  EXPECT_TRUE(teacherPasswordOpens(classes, "AAAAAA", "chalk"));
  EXPECT_FALSE(teacherPasswordOpens(classes, "AAAAAA", "cheese"));
  EXPECT_FALSE(teacherPasswordOpens(classes, "BBBBBB", "chalk"));
  EXPECT_EQ(classes.arriveNamed("AAAAAA", "Ada").subject, "AAAAAA-001");
  classes.arrive("AAAAAA", "P2", "");
  EXPECT_EQ(classes.placeByArrival("AAAAAA", "AAAAAA-001", 2), "AAAAAA-T01");
  classes.place("AAAAAA", "P2", "AAAAAA-T01");
  EXPECT_TRUE(classes.setState("AAAAAA", ClassState::Started));
  EXPECT_TRUE(classes.giveWord("AAAAAA", ClassWord::PassPause));
  const ClassRow found = *classes.find("AAAAAA");
  EXPECT_EQ(found.state, ClassState::Started);
  EXPECT_EQ(found.pausesPassed, 1);
  EXPECT_EQ(found.password, "");
  EXPECT_EQ(db.count("datClassMember", R"("Team" = 'AAAAAA-T01')"), 2);
}

bool keepAny(const PlayingMark&, std::optional<int64_t>) {
  return true;
}

// Through the team functions a workstation writes only the rows of a
// participant whose mark it holds, as that member of the team: another
// member's order, a member it does not hold, a join out of turn are refused
// as the tables themselves refuse it.
TEST(WorkstationRole, WritesTeamRowsOnlyForAMemberWhoseMarkItHolds) {
  ServerDatabase db;
  WorkstationRole role(db);
  PgStores station(role.connection);
  const TeamKey blue{"A", "Blue"};
  const PlayingMark mine{"P1", "A", {"lab-1", 1}, 0, 0, {}, "secret-1"};
  const PlayingMark other{"P2", "A", {"lab-2", 2}, 0, 0, {}, "secret-2"};
  ASSERT_FALSE(station.participants().markPlaying(mine, keepAny));
  ASSERT_FALSE(station.participants().markPlaying(other, keepAny));
  ASSERT_EQ(station.teams().join(blue, "P1", 3, mine.token).member, 1);
  ASSERT_EQ(station.teams().join(blue, "P2", 3, other.token).member, 2);

  PgConnection psql(role.connection);
  for (
      const char* sql : {
          // P2's order of week 1 with P1's secret, or a guessed one.
          R"(SELECT quarn_store_team_order('A', 'Blue', 1, 0, 1, 2, 40, 'P2', 0, 'secret-1'))",
          R"(SELECT quarn_store_team_order('A', 'Blue', 1, 0, 1, 2, 40, 'P2', 0, 'guessed'))",
          R"(SELECT quarn_store_team_order('A', 'Blue', 1, 0, 1, 2, 40, 'P1', 0, 'secret-1'))",
          R"(SELECT quarn_record_team_member('A', 'Blue', 1, 2, 'Factory', 'P2', ''))",
          // The clock's order for P2: by P1 with a guessed secret, by P2
          // with P1's secret, or naming another User ID as member 2.
          R"(SELECT quarn_store_clock_order('A', 'Blue', 1, 0, 1, 2, 0, 'P2', 0, 'P1', 'guessed'))",
          R"(SELECT quarn_store_clock_order('A', 'Blue', 1, 0, 1, 2, 0, 'P2', 0, 'P2', 'secret-1'))",
          R"(SELECT quarn_store_clock_order('A', 'Blue', 1, 0, 1, 2, 0, 'P3', 0, 'P1', 'secret-1'))",
          // A participant without a mark fills the team, or P1 joins again.
          R"(SELECT quarn_join_team('A', 'Blue', 3, 'Filler', 'secret-1'))",
          R"(SELECT quarn_join_team('A', 'Blue', 3, 'P1', 'secret-1'))",
      }) {
    SCOPED_TRACE(sql);
    const auto error = pgErrorOf([&] { psql.exec(sql); });
    ASSERT_TRUE(error);
    EXPECT_EQ(error->sqlState(), "42501") << error->description();
  }
  EXPECT_EQ(db.count("datTeamOrder"), 0);
  EXPECT_EQ(db.count("datTeam"), 0);
  EXPECT_EQ(db.count("datTeamMember"), 2);
  EXPECT_TRUE(station.teams().storeOrder(blue, {1, false, 1, 2, 6, "P2", 900}, other.token));
  EXPECT_EQ(db.count("datTeamOrder", R"("Member" = 2 AND "Order" = 6)"), 1);
}

// A member number that a simulated player took from the start is nobody's
// to join, even calling the function directly.
TEST(WorkstationRole, CannotJoinAsAMemberNumberASimulatedPlayerTook) {
  ServerDatabase db;
  db.insert("tblPlayer", {{"Name", "Passer"}});
  WorkstationRole role(db);
  PgStores station(role.connection);
  const TeamKey blue{"A", "Blue"};
  const PlayingMark first{"P1", "A", {"lab-1", 1}, 0, 0, {}, "secret-1"};
  const PlayingMark late{"P2", "A", {"lab-2", 2}, 0, 0, {}, "secret-2"};
  ASSERT_FALSE(station.participants().markPlaying(first, keepAny));
  ASSERT_FALSE(station.participants().markPlaying(late, keepAny));
  ASSERT_EQ(station.teams().join(blue, "P1", 2, first.token).member, 1);
  db.stores().teams().giveOpenMembers(blue, 2, "Passer", {{"Retailer", "Factory"}});
  PgConnection psql(role.connection);
  const auto error =
      pgErrorOf([&] { psql.exec(R"(SELECT quarn_join_team('A', 'Blue', 2, 'P2', 'secret-2'))"); });
  ASSERT_TRUE(error);
  EXPECT_EQ(error->sqlState(), "42501") << error->description();
  EXPECT_EQ(db.count("datTeamMember"), 1);
}

// The team functions are made anew on servers that have them: a parameter
// renamed or moved would fail there or leave the old function beside the
// new one.
TEST(WorkstationRole, TeamFunctionsKeepTheirParameters) {
  ServerDatabase db;
  PgConnection psql(db.connection());
  const auto parametersOf = [&](const std::string& function) {
    return std::get<std::string>(
        psql.exec("SELECT pg_get_function_identity_arguments(to_regproc($1))", {function})
            .rows.at(0)
            .at(0));
  };
  EXPECT_EQ(parametersOf("quarn_join_team"),
            "p_setting text, p_team text, p_member bigint, p_subject text, p_token text");
  EXPECT_EQ(parametersOf("quarn_store_team_order"),
            "p_setting text, p_team text, p_trial bigint, p_training bigint, p_week bigint, "
            "p_member bigint, p_order bigint, p_subject text, p_time bigint, p_token text");
  EXPECT_EQ(parametersOf("quarn_store_clock_order"),
            "p_setting text, p_team text, p_trial bigint, p_training bigint, p_week bigint, "
            "p_member bigint, p_order bigint, p_subject text, p_time bigint, p_caller text, "
            "p_token text");
  EXPECT_EQ(parametersOf("quarn_record_team_member"),
            "p_setting text, p_team text, p_trial bigint, p_member bigint, p_role text, "
            "p_subject text, p_token text");
}

// With a login of its own per workstation, inside the workstation role, a
// workstation can change no other's password or the role's: one cannot
// lock the others out.
TEST(WorkstationRole, ALoginPerWorkstationLocksOutNoneButItself) {
  ServerDatabase db;
  WorkstationRole role(db);
  PgConnection admin(testServerUri());
  const std::string first = role.name + "_lab1";
  const std::string second = role.name + "_lab2";
  for (const std::string& login : {first, second}) admin.exec("DROP ROLE IF EXISTS " + login);
  const std::vector<WorkstationLogin> logins =
      makeWorkstationLogins(db.choice(), role.name, {first, second});
  ASSERT_EQ(logins.size(), 2u);
  EXPECT_EQ(logins[0].name, first);
  EXPECT_EQ(logins[0].password.size(), 32u);
  EXPECT_NE(logins[0].password, logins[1].password);
  EXPECT_EQ(logins[1].pgpassLine.substr(logins[1].pgpassLine.rfind(":*:")),
            ":*:" + second + ":" + logins[1].password);
  EXPECT_THROW(makeWorkstationLogins(db.choice(), role.name, {first}), PgError);

  const std::string station = db.connection() + " user=" + first;
  PgStores lab1(station);
  EXPECT_EQ(lab1.plan().settings(), std::vector<std::string>{});
  const PlayingMark mine{"P1", "A", {"lab-1", 1}, 0, 0, {}, "secret-1"};
  EXPECT_FALSE(lab1.participants().markPlaying(mine, keepAny));
  PgConnection psql(station);
  for (const std::string& sql :
       {"ALTER ROLE " + second + " PASSWORD 'locked'", "ALTER ROLE " + second + " NOLOGIN",
        "ALTER ROLE " + role.name + " PASSWORD 'locked'", "ALTER ROLE " + role.name + " NOLOGIN",
        "DROP ROLE " + second}) {
    SCOPED_TRACE(sql);
    const auto error = pgErrorOf([&] { psql.exec(sql); });
    ASSERT_TRUE(error);
    EXPECT_EQ(error->sqlState(), "42501") << error->description();
  }
  for (const std::string& login : {first, second}) {
    admin.exec("DROP OWNED BY " + login);
    admin.exec("DROP ROLE " + login);
  }
}

// Every workstation shares the role: what tells one workstation's mark from
// another's is the secret only the claiming workstation knows.
TEST(WorkstationRole, ChangesOnlyTheMarkWhoseSecretItHolds) {
  ServerDatabase db;
  WorkstationRole role(db);
  PgStores station(role.connection);
  const PlayingMark mine{"P1", "A", {"lab-1", 4711}, 0, 0, {}, "secret-mine"};
  ASSERT_FALSE(station.participants().markPlaying(mine, keepAny));
  PgConnection admin(db.connection());
  admin.exec(R"(UPDATE "datPlaying" SET "LastWeek" = 1)");

  PgStores other(role.connection);
  PlayingMark guessed = mine;  // the same workstation's name, a wrong secret
  guessed.token = "secret-guessed";
  guessed.activity.week = 9;
  const auto present = other.participants().touchPlaying(guessed);
  ASSERT_TRUE(present);
  EXPECT_EQ(present->at, mine.at);
  EXPECT_TRUE(present->token.empty()) << "a secret is never read back";
  other.participants().clearPlaying(guessed);
  EXPECT_EQ(db.count("datPlaying", R"("LastWeek" = 1 AND "Week" = 0)"), 1);

  EXPECT_FALSE(station.participants().touchPlaying(mine));
  EXPECT_EQ(db.count("datPlaying", R"("LastWeek" > 1)"), 1);
  station.participants().clearPlaying(mine);
  EXPECT_EQ(db.count("datPlaying"), 0);
}

// The moderator's live view reads the marks without their secrets, so
// that it runs with a workstation's connection too.
TEST(WorkstationRole, SeesTheLiveView) {
  ServerDatabase db;
  WorkstationRole role(db);
  PgStores station(role.connection);
  const PlayingMark mine{"P1", "A", {"lab-1", 4711}, 0, 0, {}, "secret-mine"};
  ASSERT_FALSE(station.participants().markPlaying(mine, keepAny));
  const std::vector<PlayingMark> marks = station.monitor().playingMarks();
  ASSERT_EQ(marks.size(), 1u);
  EXPECT_EQ(marks[0].at, mine.at);
}

// A take-over replaces only the mark that was judged: when another
// workstation took the participant over between the judging and the
// replacement, its newer mark stays and is judged in turn.
TEST(WorkstationRole, TakeOverKeepsAMarkThatChangedSinceItWasSeen) {
  ServerDatabase db;
  WorkstationRole role(db);
  PgStores first(role.connection);
  PgStores second(role.connection);
  PgStores third(role.connection);
  const PlayingMark gone{"P1", "A", {"lab-1", 1}, 0, 0, {}, "secret-1"};
  const PlayingMark newer{"P1", "A", {"lab-2", 2}, 0, 0, {}, "secret-2"};
  const PlayingMark mine{"P1", "A", {"lab-3", 3}, 0, 0, {}, "secret-3"};
  ASSERT_FALSE(first.participants().markPlaying(gone, keepAny));
  std::vector<std::string> judged;
  const auto present =
      third.participants().markPlaying(mine, [&](const PlayingMark& seen, std::optional<int64_t>) {
        judged.push_back(seen.at.host);
        if (judged.size() > 1) return true;
        // Meanwhile the second workstation takes the participant over.
        EXPECT_FALSE(second.participants().markPlaying(
            newer, [](const PlayingMark&, std::optional<int64_t>) { return false; }));
        return false;
      });
  ASSERT_TRUE(present);
  EXPECT_EQ(present->at, newer.at);
  EXPECT_EQ(judged, (std::vector<std::string>{"lab-1", "lab-2"}));
  EXPECT_EQ(db.count("datPlaying", R"("Host" = 'lab-2')"), 1);
  EXPECT_EQ(db.count("datPlaying"), 1);
}

TEST(WorkstationRole, GrantRefusesARoleThatIsMissingOrASuperuser) {
  ServerDatabase db;
  for (const char* role : {"no_such_role_quarn", "postgres"}) {
    SCOPED_TRACE(role);
    EXPECT_THROW(grantWorkstation(db.choice(), role), PgError);
  }
}

}  // namespace
}  // namespace quarn::testing
