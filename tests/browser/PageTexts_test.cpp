// The page's texts come from the windows' translation files: every text it
// marks must be there, in every participants' language.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <regex>
#include <set>
#include <string>

#include "server/Translations.h"

namespace quarn::testing {
namespace {

struct MarkedText {
  std::string context;
  std::string source;
  bool operator<(const MarkedText& other) const {
    return std::tie(context, source) < std::tie(other.context, other.source);
  }
};

// A JavaScript string literal's text: \n, \" and \' as what they stand for.
std::string unescaped(const std::string& literal) {
  std::string text;
  for (size_t i = 0; i < literal.size(); ++i) {
    if (literal[i] == '\\' && i + 1 < literal.size()) {
      ++i;
      text += literal[i] == 'n' ? '\n' : literal[i];
    } else {
      text += literal[i];
    }
  }
  return text;
}

std::set<MarkedText> textsThePageMarks() {
  std::ifstream file(QUARN_PAGE_SCRIPT);
  const std::string script{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
  const std::regex marked(R"re(QT_TRANSLATE_NOOP\("([A-Za-z]+)",\s*"((?:[^"\\]|\\.)*)"\))re");
  std::set<MarkedText> texts;
  for (auto match = std::sregex_iterator(script.begin(), script.end(), marked);
       match != std::sregex_iterator(); ++match) {
    texts.insert({(*match)[1], unescaped((*match)[2])});
  }
  return texts;
}

bool hasEntry(const std::string& language, const MarkedText& text) {
  for (size_t i = 0; i < server::kTranslationEntryCount; ++i) {
    const server::TranslationEntry& entry = server::kTranslationEntries[i];
    if (entry.language == language && entry.context == text.context &&
        entry.source == text.source) {
      return true;
    }
  }
  return false;
}

TEST(PageTexts, EveryMarkedTextIsTranslatedInEveryLanguage) {
  const std::set<MarkedText> texts = textsThePageMarks();
  ASSERT_GT(texts.size(), 40u);
  for (const char* language : {"de", "es"}) {
    for (const MarkedText& text : texts) {
      EXPECT_TRUE(hasEntry(language, text))
          << language << " " << text.context << ": " << text.source;
    }
  }
}

}  // namespace
}  // namespace quarn::testing
