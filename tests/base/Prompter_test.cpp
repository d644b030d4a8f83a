#include "base/Prompter.h"

#include <gtest/gtest.h>

namespace quarn {
namespace {

class ObservingPrompter : public Prompter {
 public:
  void wait(std::chrono::milliseconds) override {}
  bool modalWhileShown = false;
  Prompt shown;

 protected:
  Answer present(const Prompt& prompt) override {
    modalWhileShown = modalOpen();
    shown = prompt;
    return Answer::Yes;
  }
};

TEST(Prompter, GameStandsStillWhileAQuestionIsUp) {
  ObservingPrompter prompter;
  EXPECT_EQ(prompter.ask("Go on?", PromptStyle::YesNo, "Title"), Answer::Yes);
  EXPECT_TRUE(prompter.modalWhileShown);
  EXPECT_FALSE(prompter.modalOpen());
  EXPECT_EQ(prompter.shown.kind, PromptKind::Message);
}

TEST(Prompter, ShowsLineBreaksAndTheApplicationsTitle) {
  const Prompt prompt{"One\r\nTwo\rThree", PromptStyle::Ok, ""};
  EXPECT_EQ(shownText(prompt), "One\nTwo\rThree");
  EXPECT_EQ(shownTitle(prompt), "Quarn Game");
}

}  // namespace
}  // namespace quarn
