#include "ui/OrderBox.h"

#include <QRegularExpressionValidator>

namespace quarn {

OrderBox::OrderBox(QWidget* parent, std::function<bool(const TypedKey&)> swallow)
    : QLineEdit(parent), m_swallow(std::move(swallow)) {
  setObjectName("txtOrder");
  setMaxLength(4);
  setAlignment(Qt::AlignCenter);
  // Paste, drops and middle-click insert bypass the key filter; the validator
  // keeps them to digits as well.
  setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9]*"), this));
  setContextMenuPolicy(Qt::NoContextMenu);
  setAcceptDrops(false);
}

void OrderBox::keyPressEvent(QKeyEvent* event) {
  if (event->matches(QKeySequence::Paste) || event->matches(QKeySequence::Cut) ||
      event->matches(QKeySequence::Undo) || event->matches(QKeySequence::Redo)) {
    return;
  }
  const std::optional<TypedKey> key = typedKey(*event);
  // Keys that type nothing (arrows, Home, Delete, Tab) edit or move as usual.
  if (!key || !m_swallow(*key)) QLineEdit::keyPressEvent(event);
}

void OrderBox::focusInEvent(QFocusEvent* event) {
  QLineEdit::focusInEvent(event);
  selectAll();
}

void OrderBox::mouseReleaseEvent(QMouseEvent* event) {
  QLineEdit::mouseReleaseEvent(event);
  selectAll();
}

}  // namespace quarn
