#include "ui/KeyFilter.h"

#include <QKeySequence>

namespace quarn {

std::optional<TypedKey> typedKey(const QKeyEvent& event) {
  switch (event.key()) {
    case Qt::Key_Backspace:
      return TypedKey{TypedKey::Kind::Backspace, {}};
    case Qt::Key_Return:
    case Qt::Key_Enter:
      return TypedKey{TypedKey::Kind::Enter, {}};
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Escape:
    case Qt::Key_Delete:  // X11 gives it the character 127, yet it types nothing
      return std::nullopt;
    default: {
      const bool withControl =
          (event.modifiers() & (Qt::ControlModifier | Qt::MetaModifier)) != Qt::NoModifier;
      if (!event.text().isEmpty()) {
        return TypedKey{TypedKey::Kind::Character, event.text().at(0), withControl};
      }
      // Ctrl+V types a control character, and a filter may refuse it.
      if (event.matches(QKeySequence::Paste)) {
        return TypedKey{TypedKey::Kind::Character, QChar(0x16), true};
      }
      return std::nullopt;
    }
  }
}

KeyFilter::KeyFilter(QObject* target, std::function<bool(const TypedKey&)> swallow)
    : QObject(target), m_swallow(std::move(swallow)) {
  target->installEventFilter(this);
}

bool KeyFilter::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress) return QObject::eventFilter(watched, event);
  const std::optional<TypedKey> key = typedKey(*static_cast<QKeyEvent*>(event));
  return key && m_swallow(*key);
}

}  // namespace quarn
