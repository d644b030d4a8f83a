#include "server/Protocol.h"

#include <algorithm>
#include <iterator>

namespace quarn::server {

namespace {

bool isPageType(const std::string& type) {
  return std::any_of(std::begin(kMessages), std::end(kMessages), [&](const auto& message) {
    return message.direction == Direction::FromPage && type == message.type;
  });
}

bool allDigits(const std::string& text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

ParsedMessage parsePageMessage(std::string_view text) {
  if (text.size() > kMaxMessageBytes) return {std::nullopt, {"tooLarge", ""}};
  nlohmann::json body = nlohmann::json::parse(text, nullptr, false);
  if (body.is_discarded() || !body.is_object()) {
    return {std::nullopt, {"malformed", "not a JSON object"}};
  }
  const auto type = body.find("type");
  if (type == body.end() || !type->is_string()) {
    return {std::nullopt, {"malformed", "no type"}};
  }
  if (!isPageType(type->get<std::string>())) {
    return {std::nullopt, {"unknownType", type->get<std::string>()}};
  }
  return {PageMessage{type->get<std::string>(), std::move(body)}, {}};
}

nlohmann::json errorMessage(const ProtocolError& error) {
  return {{"type", "error"}, {"reason", error.reason}, {"detail", error.detail}};
}

std::optional<int> orderValue(const nlohmann::json& value) {
  if (value.is_number_unsigned()) {
    const auto number = value.get<uint64_t>();
    if (number <= 9999) return static_cast<int>(number);
    return std::nullopt;
  }
  if (value.is_number_integer()) {
    const auto number = value.get<int64_t>();
    if (number >= 0 && number <= 9999) return static_cast<int>(number);
    return std::nullopt;
  }
  if (!value.is_string()) return std::nullopt;
  const std::string text = value.get<std::string>();
  if (text.empty() || text.size() > 4 || !allDigits(text)) return std::nullopt;
  return std::stoi(text);
}

bool MessageRate::admit(Clock::time_point now) {
  if (m_last) {
    const double seconds = std::chrono::duration<double>(now - *m_last).count();
    m_tokens = std::min(kBurst, m_tokens + std::max(0.0, seconds) * kPerSecond);
  }
  m_last = now;
  if (m_tokens < 1) return false;
  m_tokens -= 1;
  return true;
}

std::string protocolTable() {
  std::string table = "| type | from | fields | meaning |\n|---|---|---|---|\n";
  for (const MessageDescription& message : kMessages) {
    table += std::string("| `") + message.type + "` | " +
             (message.direction == Direction::FromPage ? "page" : "server") + " | " +
             message.fields + " | " + message.meaning + " |\n";
  }
  return table;
}

}  // namespace quarn::server
