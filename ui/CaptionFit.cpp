#include "ui/CaptionFit.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFontMetrics>
#include <QLabel>
#include <QStyle>
#include <QStyleOptionButton>
#include <QWidget>
#include <algorithm>

namespace quarn {

namespace {

// A caption keeps this much room from the edges of a button's face.
constexpr int kButtonPadding = 2;

// Shrinks `widget`'s font through its style sheet until `fits` says the
// caption fits; the widget's own font first.
template <class Fits>
void shrinkUntil(QWidget& widget, double smallestPoints, Fits fits) {
  widget.setStyleSheet("");
  widget.ensurePolished();
  for (double size = widget.font().pointSizeF(); !fits() && size - 0.5 >= smallestPoints;) {
    size -= 0.5;
    widget.setStyleSheet(QString("font-size: %1pt;").arg(size));
    widget.ensurePolished();
  }
}

}  // namespace

int titleBarWidth(const QString& title) {
  QFont font = QApplication::font("QMdiSubWindowTitleBar");
  font.setBold(true);
  return QFontMetrics(font).horizontalAdvance(title) + kTitleBarRoom;
}

void keepTitleWhole(QWidget& window) {
  window.setMinimumWidth(titleBarWidth(window.windowTitle()));
}

void fitCaption(QLabel& label, double smallestPoints) {
  label.setWordWrap(false);
  if (label.text().isEmpty()) return;
  const auto fits = [&label] {
    const int m = label.margin();
    const QRect room = label.contentsRect().adjusted(m, m, -m, -m);
    const QFontMetrics metrics(label.font());
    const QSize line = metrics.size(0, label.text());
    if (line.width() <= room.width() && line.height() <= room.height()) return true;
    const QRect wrapped =
        metrics.boundingRect(QRect(0, 0, room.width(), 1 << 20), Qt::TextWordWrap, label.text());
    if (wrapped.width() > room.width() || wrapped.height() > room.height()) return false;
    label.setWordWrap(true);
    return true;
  };
  shrinkUntil(label, smallestPoints, fits);
}

void fitCaption(QAbstractButton& button, double smallestPoints) {
  const auto fits = [&button] {
    QStyleOptionButton option;
    option.initFrom(&button);
    option.text = button.text();
    const QRect face =
        button.style()->subElementRect(QStyle::SE_PushButtonContents, &option, &button);
    const QSize caption = QFontMetrics(button.font()).size(Qt::TextShowMnemonic, button.text());
    return caption.width() <= face.width() - 2 * kButtonPadding &&
           caption.height() <= face.height();
  };
  shrinkUntil(button, smallestPoints, fits);
}

}  // namespace quarn
