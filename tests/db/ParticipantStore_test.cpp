#include "db/SqlCipherParticipantStore.h"

#include <gtest/gtest.h>

#include "tests/support/TestDatabase.h"

namespace quarn {
namespace {

using testing::TestDatabase;

TEST(SqlCipherParticipantStore, FindsTheStoredSpellingInAnyLetterCase) {
  TestDatabase db;
  db.insert("datUser", {{"Subject", "Zo\xC3\xAB"}});
  ParticipantStore& participants = db.stores.participants();
  EXPECT_EQ(participants.findParticipant("ZO\xC3\x8B"), "Zo\xC3\xAB");
  EXPECT_EQ(participants.findParticipant("Zo\xC3\xAB"), "Zo\xC3\xAB");
  EXPECT_FALSE(participants.findParticipant("Zoe"));
}

TEST(SqlCipherParticipantStore, HighestAndLowestTrialAreThoseOfTheSetting) {
  TestDatabase db;
  const std::pair<const char*, int> rows[] = {{"A", 3}, {"A", -2}, {"A", 1}, {"B", 9}};
  for (const auto& [setting, trial] : rows) {
    db.insert("datRole", {{"Subject", "P1"},
                          {"Setting", setting},
                          {"Trial", trial},
                          {"Week", 1},
                          {"Role", "Retailer"}});
  }
  ParticipantStore& participants = db.stores.participants();
  EXPECT_EQ(participants.highestTrial("P1", "A"), 3);
  EXPECT_EQ(participants.lowestTrial("P1", "A"), -2);
  EXPECT_FALSE(participants.highestTrial("P2", "A"));
  EXPECT_FALSE(participants.lowestTrial("P1", "C"));
}

TEST(SqlCipherParticipantStore, RegistrationStoresTheQuestionnaire) {
  TestDatabase db;
  auto writer = db.stores.participants().openRegistration();
  writer->insert({"P1", "A", 30, "Female", "Other", "Physics"});
  writer->commit();
  EXPECT_EQ(db.count("datUser",
                     "Subject='P1' AND Setting='A' AND Age=30 AND Gender='Female' "
                     "AND SchoolYear='Other' AND Major='Physics'"),
            1);
}

// The present mark is kept when it counts; otherwise mine replaces it. A
// refresh of a mark that was taken over names the new one.
TEST(SqlCipherParticipantStore, MarksAreClaimedRefreshedAndCleared) {
  TestDatabase db;
  ParticipantStore& participants = db.stores.participants();
  const PlayingMark elsewhere{"P1", "A", {"lab-7", 4711}, 10, 20};
  const PlayingMark mine{"P1", "A", {"lab-1", 42}, 30, 30};
  participants.markPlaying(elsewhere, [](const PlayingMark&) { return false; });
  const auto kept = participants.markPlaying(mine, [](const PlayingMark&) { return true; });
  ASSERT_TRUE(kept);
  EXPECT_EQ(kept->at, elsewhere.at);
  EXPECT_EQ(participants.touchPlaying(mine)->at, elsewhere.at);

  EXPECT_FALSE(participants.markPlaying(mine, [](const PlayingMark&) { return false; }));
  PlayingMark later = mine;
  later.lastWeek = 99;
  EXPECT_FALSE(participants.touchPlaying(later));
  EXPECT_EQ(db.count("datPlaying", "Host='lab-1' AND LastWeek=99"), 1);
  participants.clearPlaying(elsewhere);  // another workstation's mark stays
  participants.clearPlaying(mine);
  EXPECT_EQ(db.count("datPlaying"), 0);
}

}  // namespace
}  // namespace quarn
