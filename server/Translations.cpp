#include "server/Translations.h"

#include <nlohmann/json.hpp>

namespace quarn::server {

namespace {

const TranslationEntry* begin() {
  return kTranslationEntries;
}
const TranslationEntry* end() {
  return kTranslationEntries + kTranslationEntryCount;
}

}  // namespace

std::string translated(std::string_view language, std::string_view context, std::string_view text) {
  for (const TranslationEntry* entry = begin(); entry != end(); ++entry) {
    if (entry->language == language && entry->context == context && entry->source == text) {
      return entry->translation;
    }
  }
  return std::string(text);
}

std::optional<std::string> pageTexts(std::string_view language) {
  nlohmann::json texts = nlohmann::json::object();
  for (const TranslationEntry* entry = begin(); entry != end(); ++entry) {
    if (entry->language == language) texts[entry->context][entry->source] = entry->translation;
  }
  if (texts.empty() && language != "en") return std::nullopt;
  return texts.dump();
}

}  // namespace quarn::server
