#pragma once

#include <QLocale>
#include <QTranslator>
#include <string>

namespace quarn {

// The participants' language: installs the translation of the windows'
// and the game's texts (built into the program). English is the texts as
// written and needs none.
class Translations {
 public:
  Translations() = default;
  ~Translations();
  Translations(const Translations&) = delete;
  Translations& operator=(const Translations&) = delete;

  // `language` ("de"), else the system's language; English when neither has
  // a translation. Returns the language in use.
  std::string useStartLanguage(const std::string& language);

  // A setting's language; empty, or one without a translation: the start
  // language.
  void useSettingLanguage(const std::string& language);

  // Installs `language` and its number format (QLocale's default); false
  // (and English) when it has no translation.
  bool use(const std::string& language);

  const std::string& language() const { return m_language; }

 private:
  void useNumberFormat();

  QTranslator m_translator;
  QLocale m_formerLocale;  // the number format before, given back at the end
  bool m_installed = false;
  std::string m_language = "en";
  std::string m_startLanguage = "en";
};

// The language part of a locale name: "de" for "de_CH.UTF-8" or "de-CH".
std::string languageOfLocale(const std::string& locale);

}  // namespace quarn
