#include "server/Protocol.h"

#include <algorithm>
#include <cstdint>
#include <iterator>

namespace quarn::server {

namespace {

const MessageDescription* messageFrom(Direction from, const std::string& type) {
  const auto found = std::find_if(std::begin(kMessages), std::end(kMessages), [&](const auto& m) {
    return m.direction == from && type == m.type;
  });
  return found == std::end(kMessages) ? nullptr : found;
}

// Whether `name` is one of the blank-separated `names`.
bool named(std::string_view names, const std::string& name) {
  while (!names.empty()) {
    const size_t blank = names.find(' ');
    if (names.substr(0, blank) == name) return true;
    names = blank == std::string_view::npos ? std::string_view() : names.substr(blank + 1);
  }
  return false;
}

// The first field `body` carries that its message does not have.
std::optional<std::string> foreignField(const MessageDescription& message,
                                        const nlohmann::json& body) {
  for (const auto& field : body.items()) {
    if (field.key() != "type" && !named(message.names, field.key())) return field.key();
  }
  return std::nullopt;
}

bool allDigits(const std::string& text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

ParsedMessage parseMessageFrom(Direction from, std::string_view text) {
  if (text.size() > kMaxMessageBytes) return {std::nullopt, {"tooLarge", ""}};
  nlohmann::json body = nlohmann::json::parse(text, nullptr, false);
  if (body.is_discarded() || !body.is_object()) {
    return {std::nullopt, {"malformed", "not a JSON object"}};
  }
  const auto type = body.find("type");
  if (type == body.end() || !type->is_string()) {
    return {std::nullopt, {"malformed", "no type"}};
  }
  const MessageDescription* message = messageFrom(from, type->get<std::string>());
  if (!message) return {std::nullopt, {"unknownType", type->get<std::string>()}};
  // A page addresses its own session only: a field naming anything else is
  // not quietly dropped.
  if (const auto foreign = foreignField(*message, body)) {
    return {std::nullopt, {"invalid", "no field " + *foreign + " in " + message->type}};
  }
  return {PageMessage{type->get<std::string>(), std::move(body)}, {}};
}

}  // namespace

ParsedMessage parsePageMessage(std::string_view text) {
  return parseMessageFrom(Direction::FromPage, text);
}

ParsedMessage parseTeacherMessage(std::string_view text) {
  return parseMessageFrom(Direction::FromTeacher, text);
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

const char* promptKindName(PromptKind kind) {
  switch (kind) {
    case PromptKind::Message:
      return "Message";
    case PromptKind::Error:
      return "Error";
    case PromptKind::DatabaseOutdated:
      return "DatabaseOutdated";
    case PromptKind::DatabaseRetry:
      return "DatabaseRetry";
    case PromptKind::DatabaseWriteFailed:
      return "DatabaseWriteFailed";
    case PromptKind::DatabaseNotStored:
      return "DatabaseNotStored";
    case PromptKind::DatabaseRefused:
      return "DatabaseRefused";
    case PromptKind::TextWriteFailed:
      return "TextWriteFailed";
    case PromptKind::TextNotWritten:
      return "TextNotWritten";
    case PromptKind::SetupFileMissing:
      return "SetupFileMissing";
    case PromptKind::InvalidSetting:
      return "InvalidSetting";
    case PromptKind::SettingBreaksTextLines:
      return "SettingBreaksTextLines";
    case PromptKind::SubjectIdRefused:
      return "SubjectIdRefused";
    case PromptKind::PlanRefused:
      return "PlanRefused";
    case PromptKind::RegisterNewUser:
      return "RegisterNewUser";
    case PromptKind::QuestionnaireIncomplete:
      return "QuestionnaireIncomplete";
    case PromptKind::RegistrationFailed:
      return "RegistrationFailed";
    case PromptKind::TakeOver:
      return "TakeOver";
    case PromptKind::CompletedAll:
      return "CompletedAll";
    case PromptKind::Resume:
      return "Resume";
    case PromptKind::TeamNameNeeded:
      return "TeamNameNeeded";
    case PromptKind::TeamFull:
      return "TeamFull";
    case PromptKind::TeamOfOtherMember:
      return "TeamOfOtherMember";
    case PromptKind::RecordsContradict:
      return "RecordsContradict";
    case PromptKind::OrderAboveLimit:
      return "OrderAboveLimit";
    case PromptKind::TrainingIntro:
      return "TrainingIntro";
    case PromptKind::TrainingConstraints:
      return "TrainingConstraints";
    case PromptKind::TrainingFailed:
      return "TrainingFailed";
    case PromptKind::TrainingComplete:
      return "TrainingComplete";
    case PromptKind::NoTrialLeft:
      return "NoTrialLeft";
    case PromptKind::TrialEnded:
      return "TrialEnded";
    case PromptKind::GameOver:
      return "GameOver";
    case PromptKind::IncorrectPassword:
      return "IncorrectPassword";
    case PromptKind::ConfirmExit:
      return "ConfirmExit";
    case PromptKind::TakenOverElsewhere:
      return "TakenOverElsewhere";
  }
  return "Message";
}

const char* promptStyleName(PromptStyle style) {
  switch (style) {
    case PromptStyle::Ok:
      return "ok";
    case PromptStyle::OkWarning:
      return "okWarning";
    case PromptStyle::YesNo:
      return "yesNo";
    case PromptStyle::YesNoWarning:
      return "yesNoWarning";
    case PromptStyle::YesNoQuestion:
      return "yesNoQuestion";
    case PromptStyle::AbortRetryIgnore:
      return "abortRetryIgnore";
  }
  return "ok";
}

std::optional<int32_t> decisionTimeValue(const nlohmann::json& value) {
  if (value.is_number_unsigned()) {
    const auto number = value.get<uint64_t>();
    if (number <= INT32_MAX) return static_cast<int32_t>(number);
    return std::nullopt;
  }
  if (!value.is_number_integer()) return std::nullopt;
  const auto number = value.get<int64_t>();
  if (number < 0 || number > INT32_MAX) return std::nullopt;
  return static_cast<int32_t>(number);
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

namespace {

const char* directionName(Direction direction) {
  switch (direction) {
    case Direction::FromPage:
      return "page";
    case Direction::ToPage:
      return "server";
    case Direction::FromTeacher:
      return "teacher's page";
    case Direction::ToTeacher:
      return "server to teacher's page";
  }
  return "";
}

}  // namespace

std::string protocolTable() {
  std::string table = "| type | from | fields | meaning |\n|---|---|---|---|\n";
  for (const MessageDescription& message : kMessages) {
    table += std::string("| `") + message.type + "` | " + directionName(message.direction) + " | " +
             message.fields + " | " + message.meaning + " |\n";
  }
  return table;
}

}  // namespace quarn::server
