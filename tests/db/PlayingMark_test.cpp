#include "db/PlayingMark.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

namespace quarn::testing {
namespace {

// Stored marks hold these words: a state's word never changes, and every
// state reads back from its word.
TEST(PlayStateWords, EveryStateRoundTripsThroughItsStoredWord) {
  const std::map<PlayState, std::string> stored = {
      {PlayState::LoggedIn, "login"},
      {PlayState::Choosing, "order"},
      {PlayState::Watching, "shipment"},
      {PlayState::TrialOver, "trial-end"},
      {PlayState::Restarting, "restart"},
      {PlayState::Paused, "pause"},
      {PlayState::Finished, "finished"},
      {PlayState::WaitingForTeam, "team"},
      {PlayState::TrainingOver, "training-end"},
  };
  const std::vector<PlayState> states = allPlayStates();
  EXPECT_EQ(states.size(), stored.size());
  std::set<std::string> words;
  for (const PlayState state : states) {
    const std::string word = playStateWord(state);
    ASSERT_TRUE(stored.contains(state)) << word;
    EXPECT_EQ(word, stored.at(state));
    EXPECT_EQ(playStateOf(word), state) << word;
    words.insert(word);
  }
  EXPECT_EQ(words.size(), states.size());
}

TEST(PlayStateWords, AWordOfNoStateReadsAsNone) {
  for (const char* word : {"", "playing", "closed", "Order", "xyz"}) {
    EXPECT_EQ(playStateOf(word), std::nullopt) << word;
  }
}

}  // namespace
}  // namespace quarn::testing
