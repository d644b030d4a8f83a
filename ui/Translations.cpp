#include "ui/Translations.h"

#include <QCoreApplication>
#include <QLocale>

#include "base/Languages.h"

namespace quarn {

Translations::~Translations() {
  if (m_installed) QCoreApplication::removeTranslator(&m_translator);
  QLocale::setDefault(m_formerLocale);
}

std::string languageOfLocale(const std::string& locale) {
  const size_t end = locale.find_first_of("_-.@");
  return locale.substr(0, end);
}

std::string Translations::useStartLanguage(const std::string& language) {
  if (language.empty() || !use(language)) {
    use(languageOfLocale(QLocale::system().name().toStdString()));
  }
  m_startLanguage = m_language;
  return m_language;
}

void Translations::useSettingLanguage(const std::string& language) {
  const std::string wanted = language.empty() ? m_startLanguage : language;
  if (wanted == m_language) return;
  if (!use(wanted)) use(m_startLanguage);
}

// Numbers with a fraction (the debriefing's ratios) are written as the
// language writes them: "0,6" in German.
void Translations::useNumberFormat() {
  QLocale::setDefault(QLocale(QString::fromStdString(m_language)));
}

bool Translations::use(const std::string& language) {
  if (m_installed) {
    QCoreApplication::removeTranslator(&m_translator);
    m_installed = false;
  }
  m_language = "en";
  if (language == "en") {
    useNumberFormat();
    return true;
  }
  if (!isTranslatedLanguage(language) ||
      !m_translator.load(QString(":/i18n/quarngame_%1.qm").arg(QString::fromStdString(language)))) {
    return false;
  }
  m_installed = QCoreApplication::installTranslator(&m_translator);
  if (m_installed) m_language = language;
  useNumberFormat();
  return m_installed;
}

}  // namespace quarn
