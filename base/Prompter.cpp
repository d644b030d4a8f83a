#include "base/Prompter.h"

#include "base/Errors.h"

namespace quarn {

Answer Prompter::ask(const Prompt& prompt) {
  ModalScope open(*this);
  return present(prompt);
}

Answer Prompter::ask(const std::string& text, PromptStyle style, const std::string& title,
                     PromptKind kind) {
  return ask(Prompt{text, style, title, kind});
}

void Prompter::endApplication(int code) {
  throw ApplicationEnd(code);
}

}  // namespace quarn
