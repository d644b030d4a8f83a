#include "base/Prompter.h"

#include <gtest/gtest.h>

namespace quarn {
namespace {

class ObservingPrompter : public Prompter {
 public:
  void wait(std::chrono::milliseconds) override {}
  std::string applicationFolder() override { return "."; }
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

}  // namespace
}  // namespace quarn
