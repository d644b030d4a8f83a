#include "base/Prompter.h"

#include "base/Errors.h"

namespace quarn {

Answer Prompter::ask(const Prompt& prompt) {
  ModalScope open(*this);
  if (prompt.answeredBy) {
    if (const std::optional<Answer> answer = prompt.answeredBy()) return *answer;
  }
  return present(prompt);
}

Answer Prompter::ask(const std::string& text, PromptStyle style, const std::string& title,
                     PromptKind kind) {
  return ask(Prompt{text, style, title, kind});
}

void Prompter::endApplication(int code) {
  throw ApplicationEnd(code);
}

Answer unattendedAnswer(PromptStyle style) {
  switch (style) {
    case PromptStyle::Ok:
    case PromptStyle::OkWarning:
      return Answer::Ok;
    case PromptStyle::AbortRetryIgnore:
      return Answer::Abort;
    default:
      return Answer::No;
  }
}

std::string shownTitle(const Prompt& prompt) {
  return prompt.title.empty() ? std::string(kAppTitle) : prompt.title;
}

std::string shownText(const Prompt& prompt) {
  const std::string& text = prompt.text;
  std::string shown;
  shown.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    shown += text[i];
  }
  return shown;
}

}  // namespace quarn
