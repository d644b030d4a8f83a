#include "db/ParticipantStore.h"

#include <gtest/gtest.h>

#include <latch>
#include <thread>
#include <type_traits>

#include "db/DbError.h"
#include "db/SqlCipherConnection.h"
#include "db/postgres/PgConnection.h"
#include "tests/support/EngineDatabases.h"

namespace quarn::testing {
namespace {

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
TYPED_TEST(ParticipantStoreTest, ExactSpellingComesBeforeOtherCases) {
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
  const PlayingMark elsewhere{"P1", "A", {"lab-7", 4711}, 10, 20, {}};
  const PlayingMark mine{"P1", "A", {"lab-1", 42}, 30, 30, {}};
  participants.markPlaying(elsewhere, [](const PlayingMark&) { return false; });
  const auto kept = participants.markPlaying(mine, [](const PlayingMark&) { return true; });
  ASSERT_TRUE(kept);
  EXPECT_EQ(kept->at, elsewhere.at);
  EXPECT_EQ(participants.touchPlaying(mine)->at, elsewhere.at);

  EXPECT_FALSE(participants.markPlaying(mine, [](const PlayingMark&) { return false; }));
  PlayingMark later = mine;
  later.lastWeek = 99;
  EXPECT_FALSE(participants.touchPlaying(later));
  EXPECT_EQ(this->db.count("datPlaying", R"("Host" = 'lab-1' AND "LastWeek" = 99)"), 1);
  participants.clearPlaying(elsewhere);  // another workstation's mark stays
  EXPECT_EQ(this->db.count("datPlaying"), 1);
  participants.clearPlaying(mine);
  EXPECT_EQ(this->db.count("datPlaying"), 0);
}

// A marks table from before the activity columns gets them at the first
// mark, which then carries what the participant does.
TYPED_TEST(ParticipantStoreTest, MarksTableFromBeforeTheActivityGetsItsColumns) {
  this->execute(R"(DROP TABLE "datPlaying")");
  this->execute(
      R"(CREATE TABLE "datPlaying" ("Subject" TEXT NOT NULL PRIMARY KEY, "Setting" TEXT,
           "Host" TEXT NOT NULL, "Process" BIGINT NOT NULL, "Since" BIGINT NOT NULL,
           "LastWeek" BIGINT NOT NULL))");
  PlayingMark mine{"P1", "A", {"lab-1", 42}, 30, 30, {}};
  mine.activity = {PlayState::Paused, 25, -2, 3, 10, "Retailer", 77};
  ASSERT_FALSE(this->participants().markPlaying(mine, [](const PlayingMark&) { return true; }));
  mine.activity.week = 4;
  ASSERT_FALSE(this->participants().touchPlaying(mine));
  PlayingMark other{"P1", "A", {"lab-2", 43}, 30, 30, {}};
  const auto present =
      this->participants().markPlaying(other, [](const PlayingMark&) { return true; });
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
        const PlayingMark mine{subject, "A", {"lab-" + std::to_string(s), 100 + s}, 1, 1, {}};
        start.arrive_and_wait();
        const auto present =
            stations[s]->participants().markPlaying(mine, [](const PlayingMark&) { return true; });
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
