#include "plan/CompletionLink.h"

#include <gtest/gtest.h>

namespace quarn::testing {
namespace {

TEST(CompletionLink, UserIdIsFilledInUrlEncoded) {
  const struct {
    const char* link;
    const char* subject;
    const char* address;
  } cases[] = {
      {"https://panel.example.org/done?pid={id}", "P-07_a.b~",
       "https://panel.example.org/done?pid=P-07_a.b~"},
      {"https://panel.example.org/done?pid={id}&x=1", "a&x=2 #b",
       "https://panel.example.org/done?pid=a%26x%3D2%20%23b&x=1"},
      {"https://p.example.org/{id}/c?again={id}", "Zoë/..",
       "https://p.example.org/Zo%C3%AB%2F../c?again=Zo%C3%AB%2F.."},
      {"https://p.example.org/done", "P1", "https://p.example.org/done"},
      {"https://p.example.org/?id={id", "P1", "https://p.example.org/?id={id"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(completionAddress(c.link, c.subject), c.address) << c.link << " " << c.subject;
  }
}

TEST(CompletionLink, OnlyAnHttpAddressWithAHostIsALink) {
  const struct {
    const char* link;
    bool valid;
  } cases[] = {
      {"https://panel.example.org/done?pid={id}", true},
      {"HTTP://panel.example.org", true},
      {"http://10.0.0.1:8080/x", true},
      {"", false},
      {"javascript:alert(1)", false},
      {"ftp://panel.example.org/", false},
      {"https://", false},
      {"https:///path", false},
      {"https://panel.example.org/a b", false},
      {"https://panel.example.org/\n", false},
      {"panel.example.org/done", false},
  };
  for (const auto& c : cases) EXPECT_EQ(isCompletionLink(c.link), c.valid) << c.link;
}

}  // namespace
}  // namespace quarn::testing
