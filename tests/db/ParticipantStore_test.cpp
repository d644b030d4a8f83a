#include "db/ParticipantStore.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <ctime>
#include <latch>
#include <thread>
#include <type_traits>

#include "base/Text.h"
#include "db/DatabaseAccess.h"
#include "db/DbError.h"
#include "db/OpenDatabase.h"
#include "db/postgres/PgConnection.h"
#include "db/sqlcipher/SqlCipherConnection.h"
#include "tests/support/EngineDatabases.h"
#include "tests/support/FixedRandom.h"
#include "tests/support/ScriptedPrompter.h"

namespace quarn::testing {
namespace {

template <class Engine>
constexpr bool kServer = std::is_same_v<Engine, ServerDatabase>;

bool keepAny(const PlayingMark&, std::optional<int64_t>) {
  return true;
}

// A process that registers `subject` through stores of its own: it says on
// `ready` that it is connected, then waits for `go`. It exits 0 when its row
// was stored, 1 when the User ID was taken.
pid_t registerInProcess(const DatabaseChoice& choice, const std::string& subject, int ready,
                        int go) {
  const pid_t child = fork();
  if (child != 0) return child;
  int status = 2;
  try {
    const std::unique_ptr<Stores> stores = openStores(choice);
    ParticipantStore& participants = stores->participants();
    participants.findParticipant(subject);  // connected and warm before the start
    if (write(ready, "r", 1) != 1) _exit(3);
    char start;
    if (read(go, &start, 1) != 1) _exit(3);
    auto registration = participants.openRegistration();
    registration->insert({subject, "A", 20, "F", "", ""});
    registration->commit();
    status = 0;
  } catch (const DbError& failure) {
    status = failure.kind() == DbErrorKind::KeyCollision ? 1 : 2;
  } catch (...) {
  }
  _exit(status);  // no destructor may touch the parent's connections
}

template <class Engine>
class ParticipantStoreTest : public ::testing::Test {
 protected:
  ParticipantStore& participants() { return db.stores().participants(); }
  // Runs a statement without a result (a table's definition).
  void execute(const std::string& sql) {
    if constexpr (std::is_same_v<Engine, FileDatabase>) {
      SqlCipherConnection(db.choice().file, OpenMode::ReadWrite).executeScript(sql);
    } else {
      PgConnection(db.connection()).exec(sql);
    }
  }
  Engine db;
};
TYPED_TEST_SUITE(ParticipantStoreTest, Engines, EngineNames);

TYPED_TEST(ParticipantStoreTest, FindsTheStoredSpellingInAnyLetterCase) {
  this->db.insert("datUser", {{"Subject", "Zo\xC3\xAB"}});
  this->db.insert("datUser", {{"Subject", "\xD0\x98\xD0\xB2\xD0\xB0\xD0\xBD"}});  // Иван
  ParticipantStore& participants = this->participants();
  EXPECT_EQ(participants.findParticipant("ZO\xC3\x8B"), "Zo\xC3\xAB");
  EXPECT_EQ(participants.findParticipant("Zo\xC3\xAB"), "Zo\xC3\xAB");
  EXPECT_EQ(participants.findParticipant("\xD0\x98\xD0\x92\xD0\x90\xD0\x9D"),  // ИВАН
            "\xD0\x98\xD0\xB2\xD0\xB0\xD0\xBD");
  EXPECT_FALSE(participants.findParticipant("Zoe"));
  EXPECT_FALSE(participants.findParticipant("Zo"));
}

// Of several spellings, the one typed wins; else the first one registered.
// (A server's case-blind unique index holds one spelling only; a file from
// before may hold several.)
TYPED_TEST(ParticipantStoreTest, ExactSpellingComesBeforeOtherCases) {
  if (kServer<TypeParam>) GTEST_SKIP() << "a server holds one spelling of a User ID";
  for (const char* subject : {"ANNA", "anna"}) this->db.insert("datUser", {{"Subject", subject}});
  EXPECT_EQ(this->participants().findParticipant("anna"), "anna");
  EXPECT_EQ(this->participants().findParticipant("ANNA"), "ANNA");
  EXPECT_EQ(this->participants().findParticipant("Anna"), "ANNA");
}

TYPED_TEST(ParticipantStoreTest, HighestAndLowestTrialAreThoseOfTheSetting) {
  const std::pair<const char*, int> rows[] = {{"A", 3}, {"A", -2}, {"A", 1}, {"B", 9}};
  for (const auto& [setting, trial] : rows) {
    this->db.insert("datRole", {{"Subject", "P1"},
                                {"Setting", setting},
                                {"Trial", trial},
                                {"Week", 1},
                                {"Role", "Retailer"}});
  }
  ParticipantStore& participants = this->participants();
  EXPECT_EQ(participants.highestTrial("P1", "A"), 3);
  EXPECT_EQ(participants.lowestTrial("P1", "A"), -2);
  EXPECT_FALSE(participants.highestTrial("P2", "A"));
  EXPECT_FALSE(participants.highestTrial("p1", "A")) << "the User ID as stored, exactly";
  EXPECT_FALSE(participants.lowestTrial("P1", "C"));
}

TYPED_TEST(ParticipantStoreTest, RegistrationStoresTheQuestionnaire) {
  auto writer = this->participants().openRegistration();
  writer->insert({"P1", "A", 30, "Female", "Other", "Physics"});
  writer->insert({"P2", "A", std::nullopt, "", "", ""});
  writer->commit();
  EXPECT_EQ(this->db.count("datUser", R"("Subject" = 'P1' AND "Setting" = 'A' AND "Age" = 30
      AND "Gender" = 'Female' AND "SchoolYear" = 'Other' AND "Major" = 'Physics')"),
            1);
  EXPECT_EQ(this->db.count("datUser", R"("Subject" = 'P2' AND "Age" IS NULL)"), 1);
}

TYPED_TEST(ParticipantStoreTest, RegisteringATakenUserIdIsAKeyCollision) {
  this->db.insert("datUser", {{"Subject", "P1"}});
  auto writer = this->participants().openRegistration();
  try {
    writer->insert({"P1", "B", 20, "", "", ""});
    FAIL() << "a second P1 was stored";
  } catch (const DbError& failure) {
    EXPECT_EQ(failure.kind(), DbErrorKind::KeyCollision);
    EXPECT_EQ(failure.number(), kErrDuplicateKey);
  }
  EXPECT_EQ(this->db.count("datUser", R"("Setting" IS NULL)"), 1) << "the first one is untouched";
}

// The present mark is kept when it counts; otherwise mine replaces it. A
// refresh of a mark that was taken over names the new one.
TYPED_TEST(ParticipantStoreTest, MarksAreClaimedRefreshedAndCleared) {
  ParticipantStore& participants = this->participants();
  const PlayingMark elsewhere{"P1", "A", {"lab-7", 4711}, 10, 20, {}, "secret-elsewhere"};
  const PlayingMark mine{"P1", "A", {"lab-1", 42}, 30, 30, {}, "secret-mine"};
  participants.markPlaying(elsewhere,
                           [](const PlayingMark&, std::optional<int64_t>) { return false; });
  const auto kept = participants.markPlaying(
      mine, [](const PlayingMark&, std::optional<int64_t>) { return true; });
  ASSERT_TRUE(kept);
  EXPECT_EQ(kept->at, elsewhere.at);
  EXPECT_EQ(participants.touchPlaying(mine)->at, elsewhere.at);

  EXPECT_FALSE(participants.markPlaying(
      mine, [](const PlayingMark&, std::optional<int64_t>) { return false; }));
  PlayingMark later = mine;
  later.lastWeek = 99;
  EXPECT_FALSE(participants.touchPlaying(later));
  this->db.stores().results().openWeekRows()->commit();  // a file stores it with a week
  // A server dates the refresh by its own clock.
  EXPECT_EQ(this->db.count("datPlaying", kServer<TypeParam>
                                             ? R"("Host" = 'lab-1' AND "LastWeek" > 1000000000)"
                                             : R"("Host" = 'lab-1' AND "LastWeek" = 99)"),
            1);
  participants.clearPlaying(elsewhere);  // another workstation's mark stays
  EXPECT_EQ(this->db.count("datPlaying"), 1);
  participants.clearPlaying(mine);
  EXPECT_EQ(this->db.count("datPlaying"), 0);
}

// On a file a week costs one synced commit: the mark's refresh waits for the
// week's rows and goes into their transaction; a refresh that no week took
// along is stored by the next one.
TEST(FileMarks, RefreshIsStoredWithTheNextWeeksRows) {
  FileDatabase db;
  ParticipantStore& participants = db.stores().participants();
  PlayingMark mine{"P1", "A", {"lab-1", 42}, 30, 30, {}, "secret-mine"};
  ASSERT_FALSE(participants.markPlaying(mine, keepAny));
  mine.lastWeek = 99;
  EXPECT_FALSE(participants.touchPlaying(mine));
  EXPECT_EQ(db.count("datPlaying", R"("LastWeek" = 30)"), 1) << "not written on its own";
  auto week = db.stores().results().openWeekRows();
  WeekRow row;
  row.subject = "P1";
  row.setting = "A";
  row.week = 1;
  row.role = "Factory";
  week->insert(row);
  week->commit();
  EXPECT_EQ(db.count("datPlaying", R"("LastWeek" = 99)"), 1);

  mine.lastWeek = 120;
  EXPECT_FALSE(participants.touchPlaying(mine));  // a week without rows follows
  mine.lastWeek = 150;
  EXPECT_FALSE(participants.touchPlaying(mine));
  EXPECT_EQ(db.count("datPlaying", R"("LastWeek" = 120)"), 1);
}

// Two workstations (two processes) register one User ID in two letter cases
// at the same moment: one registration, one refusal as a taken key.
TYPED_TEST(ParticipantStoreTest, UserIdInTwoCasesRegistersOnceUnderARace) {
  constexpr int kRounds = 6;
  for (int round = 0; round < kRounds; ++round) {
    const std::string id = "CaseRace" + std::to_string(round);
    int ready[2], go[2];
    ASSERT_EQ(pipe(ready), 0);
    ASSERT_EQ(pipe(go), 0);
    const pid_t first = registerInProcess(this->db.choice(), id, ready[1], go[0]);
    const pid_t second = registerInProcess(this->db.choice(), toLowerAscii(id), ready[1], go[0]);
    char readies[2];
    ASSERT_EQ(read(ready[0], readies, 1) + read(ready[0], readies + 1, 1), 2);
    ASSERT_EQ(write(go[1], "gg", 2), 2);
    for (const int end : {ready[0], ready[1], go[0], go[1]}) close(end);
    int statuses[2];
    waitpid(first, &statuses[0], 0);
    waitpid(second, &statuses[1], 0);
    const int a = WEXITSTATUS(statuses[0]), b = WEXITSTATUS(statuses[1]);
    EXPECT_EQ(std::min(a, b), 0) << id;
    EXPECT_EQ(std::max(a, b), 1) << id;
  }
  EXPECT_EQ(this->db.count("datUser"), kRounds);
}

// A mark is the participant's whatever the letter case it is claimed in.
TYPED_TEST(ParticipantStoreTest, MarksOfOneUserIdInTwoCasesAreOne) {
  ParticipantStore& participants = this->participants();
  const PlayingMark first{"CaseRace", "A", {"lab-1", 101}, 1, 1, {}, "secret-first"};
  const PlayingMark second{"caserace", "A", {"lab-2", 102}, 1, 1, {}, "secret-second"};
  EXPECT_FALSE(participants.markPlaying(first, keepAny));
  const auto present = participants.markPlaying(second, keepAny);
  ASSERT_TRUE(present);
  EXPECT_EQ(present->at, first.at);
  EXPECT_EQ(this->db.count("datPlaying"), 1);
}

// A workstation whose clock runs 20 minutes ahead finds a participant who
// played a minute ago still playing elsewhere: the server judges by its own
// clock, the file does not judge another computer's mark by any.
TYPED_TEST(ParticipantStoreTest, SkewedClockCannotTakeAPlayingParticipant) {
  ScriptedPrompter prompter;
  FixedRandom random;
  DatabaseAccess access(this->db.stores(), prompter, random);
  const int64_t now = std::time(nullptr);
  const PlayingMark playing{"P1", "A", {"lab-7", 4711}, now - 600, now - 60, {}, "secret-playing"};
  const PlayingMark mine{"P1", "A", {"lab-1", 42}, 0, 0, {}, "secret-mine"};
  ASSERT_FALSE(access.claimParticipant(playing, now - 60, false));
  constexpr int64_t kAhead = 20 * 60;
  const auto other = access.claimParticipant(mine, now + kAhead, false);
  ASSERT_TRUE(other);
  EXPECT_EQ(other->at, playing.at);
  EXPECT_TRUE(prompter.shown.empty());
}

// On the server a mark that is old by the server's clock no longer counts,
// whatever the claiming workstation's clock says.
TEST(ServerMarks, StaleByTheServersClockEvenForALaggingWorkstation) {
  ServerDatabase db;
  ScriptedPrompter prompter;
  FixedRandom random;
  DatabaseAccess access(db.stores(), prompter, random);
  const int64_t now = std::time(nullptr);
  ASSERT_FALSE(
      access.claimParticipant({"P1", "A", {"lab-7", 4711}, 0, 0, {}, "secret-7"}, now, false));
  PgConnection admin(db.connection());
  admin.exec(R"(UPDATE "datPlaying" SET "LastWeek" = "LastWeek" - 20 * 60)");
  constexpr int64_t kBehind = 20 * 60;
  EXPECT_FALSE(access.claimParticipant({"P1", "A", {"lab-1", 42}, 0, 0, {}, "secret-1"},
                                       now - kBehind, false));
  EXPECT_EQ(db.count("datPlaying", R"("Host" = 'lab-1')"), 1);
}

// A mark carries what the participant does, as claimed and as refreshed.
TYPED_TEST(ParticipantStoreTest, MarkCarriesWhatTheParticipantDoes) {
  PlayingMark mine{"P1", "A", {"lab-1", 42}, 30, 30, {}, "secret-mine"};
  mine.activity = {PlayState::Paused, 25, -2, 3, 10, "Retailer", 77, ""};
  ASSERT_FALSE(this->participants().markPlaying(mine, keepAny));
  mine.activity.week = 4;
  ASSERT_FALSE(this->participants().touchPlaying(mine));
  PlayingMark other{"P1", "A", {"lab-2", 43}, 30, 30, {}, "secret-other"};
  const auto present = this->participants().markPlaying(other, keepAny);
  ASSERT_TRUE(present);
  EXPECT_EQ(present->activity, mine.activity);
}

// Workstations that claim one participant at the same moment, each through
// stores of its own: exactly one of them wins, the others see its mark.
TYPED_TEST(ParticipantStoreTest, RacingClaimsHaveOneWinner) {
  constexpr int kWorkstations = 4;
  std::vector<std::unique_ptr<Stores>> stations;
  for (int s = 0; s < kWorkstations; ++s) stations.push_back(openStores(this->db.choice()));
  for (const char* subject : {"P1", "P2", "P3", "P4", "P5"}) {
    std::latch start(kWorkstations);
    std::atomic<int> winners{0};
    std::vector<std::thread> claims;
    for (int s = 0; s < kWorkstations; ++s) {
      claims.emplace_back([&, s] {
        const PlayingMark mine{subject, "A", {"lab-" + std::to_string(s), 100 + s}, 1,
                               1,       {},  "secret-" + std::to_string(s)};
        start.arrive_and_wait();
        const auto present = stations[s]->participants().markPlaying(mine, keepAny);
        if (!present) ++winners;
      });
    }
    for (std::thread& claim : claims) claim.join();
    EXPECT_EQ(winners, 1) << subject;
  }
  EXPECT_EQ(this->db.count("datPlaying"), 5);
}

}  // namespace
}  // namespace quarn::testing
