#include "ui/QuestionnaireWindow.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QRadioButton>

#include "tests/ui/WindowFixture.h"

namespace quarn::testing {
namespace {

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new QtEnvironment);

class QuestionnaireWindowTest : public WindowTest {
 protected:
  // Asks the questionnaire, running `fill` in its modal loop.
  std::optional<Questionnaire> ask(std::function<void()> fill) {
    QTimer::singleShot(0, &window, std::move(fill));
    return window.ask();
  }
  void click(const char* name) {
    QTest::mouseClick(control<QAbstractButton>(window, name), Qt::LeftButton);
  }

  QuestionnaireWindow window{prompter, "New1", std::nullopt};
  QLineEdit* ageBox = control<QLineEdit>(window, "txtAge");
};

TEST_F(QuestionnaireWindowTest, GenderIsAskedForFirstThenAge) {
  const std::optional<Questionnaire> answers = ask([this] {
    click("cmdOK");
    EXPECT_EQ(prompter.shown.back().prompt, "Please indicate gender");
    click("optGender_1");
    click("cmdOK");
    EXPECT_EQ(prompter.shown.back().prompt, "Please enter your age (I know you're older than 5)");
    EXPECT_TRUE(window.isVisible());
    QTest::keyClicks(ageBox, "5");
    QTest::keyClick(ageBox, Qt::Key_Return);  // Enter is OK
  });
  ASSERT_TRUE(answers.has_value());
  EXPECT_EQ(answers->age, 5);
  EXPECT_EQ(answers->gender, "Female");
  EXPECT_EQ(answers->schoolYear, "Other");
  EXPECT_EQ(answers->major, "Other");
}

TEST_F(QuestionnaireWindowTest, AgeTakesTwoDigitsOnly) {
  ask([this] {
    QTest::keyClicks(ageBox, "4x-");
    EXPECT_EQ(ageBox->text(), "4");
    ageBox->selectAll();
    QTest::keyClicks(ageBox, "057");
    EXPECT_EQ(ageBox->text(), "05");
    click("cmdCancel");
  });
}

TEST_F(QuestionnaireWindowTest, CancelReturnsNoAnswers) {
  const std::optional<Questionnaire> answers = ask([this] {
    click("optGender_0");
    QTest::keyClicks(ageBox, "30");
    click("cmdCancel");
  });
  EXPECT_FALSE(answers.has_value());
}

}  // namespace
}  // namespace quarn::testing
