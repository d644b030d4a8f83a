#include "server/Protocol.h"

#include <gtest/gtest.h>

#include <fstream>
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
