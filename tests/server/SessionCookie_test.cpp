#include "server/SessionCookie.h"

#include <gtest/gtest.h>

#include <set>
#include <sstream>

namespace quarn::server {
namespace {

const std::string kToken = "0123456789abcdef0123456789abcdef";
const std::string kOther = "fedcba9876543210fedcba9876543210";

// The attributes of a Set-Cookie value, after its name=value pair.
std::set<std::string> attributesOf(const std::string& cookie) {
  std::set<std::string> attributes;
  std::istringstream parts(cookie.substr(cookie.find(';') + 1));
  std::string part;
  while (std::getline(parts, part, ';'))
    attributes.insert(part.substr(part.find_first_not_of(' ')));
  return attributes;
}

TEST(SessionCookie, TokenIsTakenOnlyFromAWellFormedSessionCookie) {
  const struct {
    std::string header;
    std::optional<std::string> token;
  } cases[] = {
      {"quarn_session=" + kToken, kToken},
      {"theme=dark; quarn_session=" + kToken + "; lang=de", kToken},
      {"  quarn_session = " + kToken + " ;", kToken},
      {"quarn_session=" + kToken + "; quarn_session=" + kOther, kToken},
      {"quarn_session=short; quarn_session=" + kOther, kOther},
      {"", std::nullopt},
      {"theme=dark", std::nullopt},
      {"quarn_session", std::nullopt},
      {"quarn_session=", std::nullopt},
      {"quarn_session=" + kToken.substr(1), std::nullopt},
      {"quarn_session=" + kToken + "0", std::nullopt},
      {"quarn_session=0123456789ABCDEF0123456789ABCDEF", std::nullopt},
      {"quarn_session=0123456789abcdeg0123456789abcdef", std::nullopt},
      {"quarn_session=\"" + kToken + "\"", std::nullopt},
      {"quarn_session=" + kToken.substr(0, 16) + " " + kToken.substr(16), std::nullopt},
      {"xquarn_session=" + kToken, std::nullopt},
      {"quarn_session2=" + kToken, std::nullopt},
      {"other=quarn_session=" + kToken, std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(sessionTokenOf(c.header), c.token) << c.header;
}

TEST(SessionCookie, NewTokensAreWellFormedAndNeverRepeat) {
  std::set<std::string> tokens;
  for (int i = 0; i < 1000; ++i) {
    const std::string token = newSessionToken();
    EXPECT_EQ(sessionTokenOf("quarn_session=" + token), token);
    tokens.insert(token);
  }
  EXPECT_EQ(tokens.size(), 1000u);
}

TEST(SessionCookie, CookieIsForTheWholeSiteAndHiddenFromScripts) {
  const struct {
    bool secure;
    std::set<std::string> attributes;
  } cases[] = {
      {false, {"Path=/", "HttpOnly", "SameSite=Strict"}},
      {true, {"Path=/", "HttpOnly", "SameSite=Strict", "Secure"}},
  };
  for (const auto& c : cases) {
    const std::string cookie = sessionCookie(kToken, c.secure);
    EXPECT_EQ(sessionTokenOf(cookie), kToken) << cookie;
    EXPECT_EQ(attributesOf(cookie), c.attributes) << cookie;
  }
}

TEST(SessionCookie, DeviceNameIsStableAndDoesNotGiveTheTokenAway) {
  // The hash is fixed (FNV-1a): a server started again names the same
  // browser as before.
  EXPECT_EQ(deviceNameOf(kToken), "browser 86d04db5");
  EXPECT_NE(deviceNameOf(kOther), deviceNameOf(kToken));
  for (const std::string& token : {kToken, kOther, newSessionToken()}) {
    const std::string name = deviceNameOf(token);
    EXPECT_EQ(name.size(), std::string("browser ").size() + 8) << name;
    EXPECT_EQ(name.find(token.substr(0, 8)), std::string::npos) << name;
  }
}

}  // namespace
}  // namespace quarn::server
