#include "server/Protocol.h"

#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>

namespace quarn::server {
namespace {

using nlohmann::json;

TEST(Protocol, OrderValueTakesOnlyWhatTheOrderBoxTakes) {
  const struct {
    json value;
    std::optional<int> order;
  } cases[] = {
      {"0", 0},    {"0042", 42},  {"9999", 9999}, {7, 7},     {9999, 9999},
      {"", {}},    {"12345", {}}, {"-1", {}},     {"+1", {}}, {" 1", {}},
      {"1 ", {}},  {"1e3", {}},   {"1.0", {}},    {"٣", {}},  {-1, {}},
      {10000, {}}, {2.0, {}},     {nullptr, {}},  {true, {}}, {json::array({1}), {}},
  };
  for (const auto& c : cases) EXPECT_EQ(orderValue(c.value), c.order) << c.value.dump();
}

TEST(Protocol, ParseRefusesWhatIsNoPageMessage) {
  const struct {
    std::string text;
    std::string reason;
  } cases[] = {
      {"", "malformed"},
      {"{", "malformed"},
      {"\"login\"", "malformed"},
      {R"({"type":["login"]})", "malformed"},
      {R"({"type":"figures"})", "unknownType"},
      {R"({"type":"LOGIN"})", "unknownType"},
      {R"({"type":"order","pad":")" + std::string(kMaxMessageBytes, ' ') + "\"}", "tooLarge"},
      {R"({"type":"order","turn":1,"value":"3","subject":"B2"})", "invalid"},
      {R"({"type":"pause","password":"x","turn":1})", "invalid"},
      {R"({"type":"login","subject":"B1","setting":"Demo","Subject":"B2"})", "invalid"},
  };
  for (const auto& c : cases) {
    const ParsedMessage parsed = parsePageMessage(c.text);
    EXPECT_FALSE(parsed.message) << c.text;
    EXPECT_EQ(parsed.error.reason, c.reason) << c.text;
  }
  const ParsedMessage order = parsePageMessage(R"({"type":"order","turn":1,"value":"3"})");
  ASSERT_TRUE(order.message);
  EXPECT_EQ(order.message->type, "order");
}

TEST(Protocol, ParseTakesTheOptionalFields) {
  for (const char* text : {R"({"type":"order","turn":1,"value":"3","decisionMs":5})",
                           R"({"type":"login","subject":"B1","setting":"Demo","team":"T",)"
                           R"("questionnaire":{},"takeOver":true})"}) {
    EXPECT_TRUE(parsePageMessage(text).message) << text;
  }
}

TEST(Protocol, DecisionTimeValueTakesWholeMillisecondsThatFit) {
  const struct {
    json value;
    std::optional<int32_t> time;
  } cases[] = {
      {0, 0},
      {2147483647, 2147483647},
      {2147483648LL, {}},
      {-1, {}},
      {1.0, {}},
      {"5", {}},
      {nullptr, {}},
      {true, {}},
      {json::object(), {}},
  };
  for (const auto& c : cases) EXPECT_EQ(decisionTimeValue(c.value), c.time) << c.value.dump();
}

TEST(Protocol, EveryPromptKindHasAName) {
  std::set<std::string> names;
  const int last = static_cast<int>(PromptKind::TakenOverElsewhere);
  for (int kind = 0; kind <= last; ++kind) {
    names.insert(promptKindName(static_cast<PromptKind>(kind)));
  }
  EXPECT_EQ(names.size(), static_cast<size_t>(last + 1)) << "each kind its own name";
  EXPECT_STREQ(promptKindName(PromptKind::TakeOver), "TakeOver");
  EXPECT_STREQ(promptStyleName(PromptStyle::YesNoWarning), "yesNoWarning");
}

TEST(Protocol, TableDescribesEveryMessageOnce) {
  const std::string table = protocolTable();
  for (const MessageDescription& message : kMessages) {
    const std::string cell = std::string("| `") + message.type + "` |";
    const size_t first = table.find(cell);
    EXPECT_NE(first, std::string::npos) << message.type;
    EXPECT_EQ(table.find(cell, first + 1), std::string::npos) << message.type;
  }
}

TEST(Protocol, MessageRateTakesABurstThenTheSteadyRate) {
  using namespace std::chrono_literals;
  const MessageRate::Clock::time_point start;
  MessageRate rate;
  const struct {
    std::chrono::milliseconds at;
    int sent;
    int taken;
  } steps[] = {
      {0ms, 45, 40},    // the burst, then nothing
      {100ms, 1, 0},    // half a message earned
      {200ms, 2, 1},    // one earned
      {1200ms, 10, 5},  // a second's worth
      {60s, 50, 40},    // a long quiet earns the burst back, no more
  };
  for (const auto& step : steps) {
    int taken = 0;
    for (int i = 0; i < step.sent; ++i) taken += rate.admit(start + step.at) ? 1 : 0;
    EXPECT_EQ(taken, step.taken) << step.at.count() << " ms";
  }
}

// The developer guide's copy of the table, between its markers.
std::string guideTable() {
  std::ifstream in(QUARN_DEVELOPER_GUIDE);
  std::stringstream text;
  text << in.rdbuf();
  const std::string guide = text.str(), begin = "<!-- protocol:begin -->\n";
  const size_t from = guide.find(begin), to = guide.find("<!-- protocol:end -->");
  if (from == std::string::npos || to == std::string::npos) return "";
  return guide.substr(from + begin.size(), to - from - begin.size());
}

TEST(Protocol, DeveloperGuideShowsTheTable) {
  EXPECT_EQ(guideTable(), protocolTable())
      << "put this between the markers in docs/developer-guide.md:\n"
      << protocolTable();
}

}  // namespace
}  // namespace quarn::server
