#include "base/Prompter.h"

#include <gtest/gtest.h>

#include "base/Errors.h"
#include "base/Roles.h"

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

TEST(Prompter, EndingTheApplicationCarriesItsCode) {
  ObservingPrompter prompter;
  try {
    prompter.endApplication(3);
    FAIL();
  } catch (const ApplicationEnd& end) {
    EXPECT_EQ(end.code(), 3);
  }
}

TEST(Roles, TableNamesEveryRoleAndKnowsTheParticipant) {
  EXPECT_EQ(roleName(roleIndex(Role::Factory)), "Factory");
  EXPECT_EQ(roleColumn(roleIndex(Role::Retailer)), "Retailer");
  EXPECT_THROW(roleName(4), QuarnError);
  EXPECT_TRUE(hasParticipant(roleIndex(Role::Wholesaler)));
  EXPECT_FALSE(hasParticipant(kNoParticipant));
  EXPECT_FALSE(hasParticipant(4));
}

}  // namespace
}  // namespace quarn
