#include "ui/Twips.h"

#include <QPainter>
#include <cmath>

namespace quarn {

namespace {

struct Rect {
  double left, top, width, height;
};

Rect twipsRect(const QWidget* w) {
  return {w->property("twLeft").toDouble(), w->property("twTop").toDouble(),
          w->property("twWidth").toDouble(), w->property("twHeight").toDouble()};
}

void setTwipsRect(QWidget* w, const Rect& r) {
  w->setProperty("twLeft", r.left);
  w->setProperty("twTop", r.top);
  w->setProperty("twWidth", r.width);
  w->setProperty("twHeight", r.height);
  // Both edges are rounded, so neighbouring controls never overlap by a pixel.
  const int x = toPixels(r.left), y = toPixels(r.top);
  w->setGeometry(x, y, toPixels(r.left + r.width) - x, toPixels(r.top + r.height) - y);
}

}  // namespace

int toPixels(double twips) {
  return static_cast<int>(std::lround(twips / kTwipsPerPixel));
}

void place(QWidget* widget, double left, double top, double width, double height) {
  setTwipsRect(widget, {left, top, width, height});
}

double leftOf(const QWidget* widget) {
  return twipsRect(widget).left;
}
double topOf(const QWidget* widget) {
  return twipsRect(widget).top;
}
double widthOf(const QWidget* widget) {
  return twipsRect(widget).width;
}
double heightOf(const QWidget* widget) {
  return twipsRect(widget).height;
}

void setLeft(QWidget* widget, double left) {
  Rect r = twipsRect(widget);
  r.left = left;
  setTwipsRect(widget, r);
}

void setTop(QWidget* widget, double top) {
  Rect r = twipsRect(widget);
  r.top = top;
  setTwipsRect(widget, r);
}

void setWidth(QWidget* widget, double width) {
  Rect r = twipsRect(widget);
  r.width = width;
  setTwipsRect(widget, r);
}

Shape::Shape(QWidget* parent, QColor fill, QColor border)
    : QWidget(parent), m_fill(fill), m_border(border) {
  setAttribute(Qt::WA_TransparentForMouseEvents);
}

void Shape::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(m_border, 1.5));
  p.setBrush(m_fill);
  p.drawRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), 3, 3);
}

}  // namespace quarn
