#include "ui/QtPrompter.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <QtTest/QTest>

#include "tests/ui/WindowFixture.h"

namespace quarn::testing {
namespace {

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new QtEnvironment);

// The real message box, answered with Enter as a hurried moderator would.
class EnterPressingPrompter final : public QtPrompter {
 public:
  Answer pressEnterOn(const Prompt& prompt) {
    QTimer::singleShot(0, [] {
      QWidget* box = QApplication::activeModalWidget();
      ASSERT_NE(box, nullptr);
      QTest::keyClick(box, Qt::Key_Return);
    });
    return ask(prompt);
  }
};

// A question whose Yes cannot be undone (taking a participant over) answers
// No to Enter; the others keep their first button.
TEST(QtPrompter, EnterAnswersTheDefaultButton) {
  const struct {
    bool noByDefault;
    Answer expected;
  } cases[] = {{false, Answer::Yes}, {true, Answer::No}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.noByDefault);
    Prompt prompt{"Take P1 over on this workstation?", PromptStyle::YesNoWarning, "Login",
                  PromptKind::TakeOver};
    prompt.noByDefault = c.noByDefault;
    EnterPressingPrompter prompter;
    EXPECT_EQ(prompter.pressEnterOn(prompt), c.expected);
  }
}

}  // namespace
}  // namespace quarn::testing
