#pragma once

#include <QObject>
#include <QWidget>

namespace quarn {

// The window's layout is kept in twips, exactly as the logic moves things
// (480 twips a tick, 472.5 rounded to 472, ...). Widgets sit at the nearest
// pixel, 15 twips to a pixel.
inline constexpr double kTwipsPerPixel = 15.0;

int toPixels(double twips);

// Places `widget` at a twips position and size (relative to its parent).
void place(QWidget* widget, double left, double top, double width, double height);

double leftOf(const QWidget* widget);
double topOf(const QWidget* widget);
double widthOf(const QWidget* widget);
double heightOf(const QWidget* widget);
void setLeft(QWidget* widget, double left);
void setTop(QWidget* widget, double top);
void setWidth(QWidget* widget, double width);

// A control's own isShown flag, whether or not its container is shown.
inline bool isShown(const QWidget* widget) {
  return !widget->isHidden();
}

// A drawn line (linPath): end points in twips within the display frame,
// which paints it.
class PathLine : public QObject {
 public:
  PathLine(QObject* parent, double x1, double y1, double x2, double y2)
      : QObject(parent), x1(x1), y1(y1), x2(x2), y2(y2) {}
  double x1, y1, x2, y2;
  bool visible = true;
};

// A drawn square (shpLoad, shpTransfer).
class Shape : public QWidget {
 public:
  Shape(QWidget* parent, QColor fill, QColor border);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QColor m_fill, m_border;
};

}  // namespace quarn
