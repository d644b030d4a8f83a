// The browser's server reads the participants' translations from its own
// table, made from the same files the windows compile: it must give every
// text as the windows give it.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <nlohmann/json.hpp>

#include "base/Languages.h"
#include "server/Translations.h"
#include "ui/Translations.h"

namespace quarn::testing {
namespace {

using server::kTranslationEntries;
using server::kTranslationEntryCount;

TEST(ServerTranslations, GiveEveryTextAsTheWindowsDo) {
  for (const std::string& language : translatedLanguages()) {
    if (language == "en") continue;
    Translations windows;
    ASSERT_TRUE(windows.use(language));
    int texts = 0;
    for (size_t i = 0; i < kTranslationEntryCount; ++i) {
      const server::TranslationEntry& entry = kTranslationEntries[i];
      if (entry.language != language) continue;
      ++texts;
      EXPECT_EQ(server::translated(language, entry.context, entry.source),
                QCoreApplication::translate(entry.context, entry.source).toStdString())
          << language << " " << entry.context << ": " << entry.source;
    }
    EXPECT_GT(texts, 100) << language;
  }
}

TEST(ServerTranslations, LeaveTextsWithoutTranslationAsWritten) {
  EXPECT_EQ(server::translated("de", "MainWindow", "no such text"), "no such text");
  EXPECT_EQ(server::translated("en", "MainWindow", "Trial:"), "Trial:");
  EXPECT_EQ(server::translated("xx", "MainWindow", "Trial:"), "Trial:");
}

TEST(ServerTranslations, GiveThePageItsLanguagesTextsByContext) {
  const auto german = server::pageTexts("de");
  ASSERT_TRUE(german);
  const auto texts = nlohmann::json::parse(*german);
  EXPECT_EQ(texts["MainWindow"]["Trial:"], server::translated("de", "MainWindow", "Trial:"));
  EXPECT_EQ(server::pageTexts("en"), "{}");
  EXPECT_FALSE(server::pageTexts("xx"));
  EXPECT_FALSE(server::pageTexts("../de"));
}

}  // namespace
}  // namespace quarn::testing
