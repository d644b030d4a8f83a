#include "base/Csv.h"

namespace quarn {

namespace {

bool needsQuotes(std::string_view text) {
  if (text.find_first_of(",\"\r\n") != std::string_view::npos) return true;
  return !text.empty() && (text.front() == ' ' || text.back() == ' ');
}

}  // namespace

std::string quotedCsvField(std::string_view text) {
  std::string field = "\"";
  for (const char c : text) {
    if (c == '"') field.push_back('"');
    field.push_back(c);
  }
  field.push_back('"');
  return field;
}

std::string csvField(std::string_view text) {
  return needsQuotes(text) ? quotedCsvField(text) : std::string(text);
}

}  // namespace quarn
