#include "ui/Twips.h"

#include <QPainter>
#include <cmath>

namespace quarn {

namespace {

struct Rect {
  double left, top, width, height;
};

Rect Get(const QWidget* w) {
  return {w->property("twLeft").toDouble(), w->property("twTop").toDouble(),
          w->property("twWidth").toDouble(), w->property("twHeight").toDouble()};
}

void Set(QWidget* w, const Rect& r) {
  w->setProperty("twLeft", r.left);
  w->setProperty("twTop", r.top);
  w->setProperty("twWidth", r.width);
  w->setProperty("twHeight", r.height);
  // Both edges are rounded, so neighbouring controls never overlap by a pixel.
  const int x = ToPixels(r.left), y = ToPixels(r.top);
  w->setGeometry(x, y, ToPixels(r.left + r.width) - x, ToPixels(r.top + r.height) - y);
}

}  // namespace

int ToPixels(double twips) {
  return static_cast<int>(std::lround(twips / kTwipsPerPixel));
}

void Place(QWidget* widget, double left, double top, double width, double height) {
  Set(widget, {left, top, width, height});
}

double Left(const QWidget* widget) {
  return Get(widget).left;
}
double Top(const QWidget* widget) {
  return Get(widget).top;
}
double Width(const QWidget* widget) {
  return Get(widget).width;
}
double Height(const QWidget* widget) {
  return Get(widget).height;
}

void SetLeft(QWidget* widget, double left) {
  Rect r = Get(widget);
  r.left = left;
  Set(widget, r);
}

void SetTop(QWidget* widget, double top) {
  Rect r = Get(widget);
  r.top = top;
  Set(widget, r);
}

void SetWidth(QWidget* widget, double width) {
  Rect r = Get(widget);
  r.width = width;
  Set(widget, r);
}

Shape::Shape(QWidget* parent, QColor fill, QColor border)
    : QWidget(parent), fill_(fill), border_(border) {
  setAttribute(Qt::WA_TransparentForMouseEvents);
}

void Shape::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(border_, 1.5));
  p.setBrush(fill_);
  p.drawRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), 3, 3);
}

}  // namespace quarn
