#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace quarn::server {

// One translated text of the participants' languages, as the windows'
// translation files hold it: the English `source` under `context`.
struct TranslationEntry {
  const char* language;  // "de"
  const char* context;   // "MainWindow"
  const char* source;
  const char* translation;
};

// Every translation the build found (generated from ui/translations/*.ts).
extern const TranslationEntry kTranslationEntries[];
extern const std::size_t kTranslationEntryCount;

// `text`, written in English under `context`, in `language`; the text
// itself where the language (English among them) or the text has none.
std::string translated(std::string_view language, std::string_view context, std::string_view text);

// The page's texts in `language` as JSON: {"<context>": {"<source>":
// "<translation>", ...}, ...}; "{}" for English; nothing for a language
// that has no translations.
std::optional<std::string> pageTexts(std::string_view language);

}  // namespace quarn::server
