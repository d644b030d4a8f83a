#pragma once

#include <QObject>
#include <QWidget>

namespace quarn {

// The window's layout is kept in twips, exactly as the logic moves things
// (480 twips a tick, 472.5 rounded to 472, ...). Widgets sit at the nearest
// pixel, 15 twips to a pixel.
inline constexpr double kTwipsPerPixel = 15.0;

int ToPixels(double twips);

// Places `widget` at a twips position and size (relative to its parent).
void Place(QWidget* widget, double left, double top, double width, double height);

double Left(const QWidget* widget);
double Top(const QWidget* widget);
double Width(const QWidget* widget);
double Height(const QWidget* widget);
void SetLeft(QWidget* widget, double left);
void SetTop(QWidget* widget, double top);
void SetWidth(QWidget* widget, double width);

// A control's own Visible flag, whether or not its container is shown.
inline bool Visible(const QWidget* widget) {
  return !widget->isHidden();
}

// A drawn line (linPath): end points in twips within the display frame,
// which paints it.
class PathLine : public QObject {
 public:
  PathLine(QObject* parent, double x1, double y1, double x2, double y2)
      : QObject(parent), X1(x1), Y1(y1), X2(x2), Y2(y2) {}
  double X1, Y1, X2, Y2;
  bool visible = true;
};

// A drawn square (shpLoad, shpTransfer).
class Shape : public QWidget {
 public:
  Shape(QWidget* parent, QColor fill, QColor border);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QColor fill_, border_;
};

}  // namespace quarn
