#include "ui/QtToolkit.h"

#include <gtest/gtest.h>

namespace quarn {
namespace {

TEST(QtToolkit, EveryBoxPassesThroughOneEntryPointWithTitleAndLineBreaks) {
  QtToolkit toolkit;
  std::vector<MessageRequest> asked;
  toolkit.answerer = [&](const MessageRequest& request) {
    asked.push_back(request);
    return MsgResult::Retry;
  };
  EXPECT_EQ(toolkit.MsgBox("first\r\nsecond", MsgStyle::AbortRetryIgnore), MsgResult::Retry);
  EXPECT_EQ(toolkit.MsgBox("x", MsgStyle::YesNo, "Own Title"), MsgResult::Retry);
  ASSERT_EQ(asked.size(), 2u);
  EXPECT_EQ(asked[0].prompt, "first\nsecond");
  EXPECT_EQ(asked[0].title, kAppTitle);
  EXPECT_EQ(asked[0].style, MsgStyle::AbortRetryIgnore);
  EXPECT_EQ(asked[1].title, "Own Title");
  EXPECT_THROW(toolkit.EndApplication(3), ApplicationEnd);
}

}  // namespace
}  // namespace quarn
