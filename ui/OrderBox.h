#pragma once

#include <QLineEdit>
#include <functional>

#include "ui/KeyFilter.h"

namespace quarn {

// The order box (txtOrder): digits only, however they come in. Its typed
// keys go through `swallow` first, which returns true to keep a key out.
// Paste, cut, undo and redo do nothing; a click or the focus selects the
// whole order, to be typed over.
class OrderBox : public QLineEdit {
 public:
  OrderBox(QWidget* parent, std::function<bool(const TypedKey&)> swallow);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  std::function<bool(const TypedKey&)> m_swallow;
};

}  // namespace quarn
