#pragma once

#include <string>
#include <vector>

namespace quarn {

// The languages the participants' texts are translated into, English (the
// texts as written) first; one for each translation file the build found.
const std::vector<std::string>& translatedLanguages();

// Whether `language` (e.g. "de") is one of them.
bool isTranslatedLanguage(const std::string& language);

}  // namespace quarn
