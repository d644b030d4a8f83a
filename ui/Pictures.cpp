#include "ui/Pictures.h"

#include <QPainter>
#include <QPainterPath>

namespace quarn {

namespace {

const QColor kOutline(0x3b, 0x4a, 0x5a);
const QColor kWall(0xe9, 0xe4, 0xd8);
const QColor kRoof(0x5f, 0x7d, 0x95);
const QColor kGlass(0xbf, 0xdc, 0xe8);
const QColor kBrick(0xb8, 0x6b, 0x4f);
const QColor kTeal(0x3f, 0x8f, 0x8a);
const QColor kSand(0xd9, 0xb2, 0x6f);
const QColor kCrate(0xc9, 0x9a, 0x5b);
const QColor kGround(0x9a, 0xa8, 0x8e);

// Draws in a 100 x 60 design box, scaled and centred into `area`.
void fitDesignBox(QPainter& p, const QRectF& area, double w = 100, double h = 60) {
  const double scale = std::min(area.width() / w, area.height() / h);
  p.translate(area.center().x() - w * scale / 2, area.center().y() - h * scale / 2);
  p.scale(scale, scale);
}

void usePen(QPainter& p, const QColor& color = kOutline, double width = 1.2) {
  p.setPen(QPen(color, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
}

void drawGround(QPainter& p) {
  usePen(p, kGround, 1.5);
  p.drawLine(QPointF(2, 56), QPointF(98, 56));
}

void drawWindow(QPainter& p, double x, double y, double w, double h) {
  usePen(p);
  p.setBrush(kGlass);
  p.drawRect(QRectF(x, y, w, h));
}

void drawFactory(QPainter& p) {
  drawGround(p);
  // Chimney and smoke.
  usePen(p);
  p.setBrush(kBrick);
  p.drawRect(QRectF(74, 8, 8, 26));
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0xcf, 0xd6, 0xdc));
  p.drawEllipse(QPointF(80, 5), 4, 3);
  p.drawEllipse(QPointF(87, 3), 5, 3.2);
  // Hall with a sawtooth roof.
  QPainterPath hall;
  hall.moveTo(10, 56);
  hall.lineTo(10, 28);
  for (int i = 0; i < 3; ++i) {
    const double x = 10 + i * 22;
    hall.lineTo(x + 22, 18);
    hall.lineTo(x + 22, 28);
  }
  hall.lineTo(90, 28);
  hall.lineTo(90, 56);
  hall.closeSubpath();
  usePen(p);
  p.setBrush(kWall);
  p.drawPath(hall);
  // Roof glazing on the steep faces.
  usePen(p, kRoof, 2);
  for (int i = 0; i < 3; ++i) p.drawLine(QPointF(32 + i * 22, 19), QPointF(32 + i * 22, 27));
  for (int i = 0; i < 4; ++i) drawWindow(p, 15 + i * 14, 35, 8, 7);
  // Gate.
  usePen(p);
  p.setBrush(kRoof);
  p.drawRect(QRectF(72, 40, 12, 16));
}

void drawDistributor(QPainter& p) {
  drawGround(p);
  usePen(p);
  p.setBrush(kWall);
  p.drawRect(QRectF(6, 22, 88, 34));
  p.setBrush(kTeal);
  p.drawRect(QRectF(4, 17, 92, 6));
  // Three loading docks with roll-up doors.
  for (int i = 0; i < 3; ++i) {
    const double x = 14 + i * 26;
    usePen(p);
    p.setBrush(QColor(0xd4, 0xdb, 0xe1));
    p.drawRect(QRectF(x, 34, 18, 22));
    usePen(p, QColor(0x9a, 0xa6, 0xb1), 0.8);
    for (double y = 38; y < 56; y += 4) p.drawLine(QPointF(x + 1, y), QPointF(x + 17, y));
  }
  // Sign board.
  usePen(p);
  p.setBrush(kSand);
  p.drawRoundedRect(QRectF(36, 25, 28, 6), 1.5, 1.5);
}

void drawBox(QPainter& p, double x, double y, double s) {
  usePen(p);
  p.setBrush(kCrate);
  p.drawRect(QRectF(x, y, s, s));
  usePen(p, QColor(0x8e, 0x66, 0x38), 0.8);
  p.drawLine(QPointF(x, y), QPointF(x + s, y + s));
  p.drawLine(QPointF(x + s, y), QPointF(x, y + s));
}

void drawWholesaler(QPainter& p) {
  drawGround(p);
  QPainterPath shed;
  shed.moveTo(8, 56);
  shed.lineTo(8, 28);
  shed.lineTo(38, 12);
  shed.lineTo(68, 28);
  shed.lineTo(68, 56);
  shed.closeSubpath();
  usePen(p);
  p.setBrush(kWall);
  p.drawPath(shed);
  usePen(p, kRoof, 3);
  p.drawLine(QPointF(6, 29), QPointF(38, 12));
  p.drawLine(QPointF(38, 12), QPointF(70, 29));
  // Big sliding door.
  usePen(p);
  p.setBrush(kRoof);
  p.drawRect(QRectF(24, 34, 28, 22));
  usePen(p, kWall, 1);
  p.drawLine(QPointF(38, 35), QPointF(38, 56));
  // Stacked crates outside.
  drawBox(p, 72, 44, 12);
  drawBox(p, 85, 44, 12);
  drawBox(p, 78.5, 32, 12);
}

void drawRetailer(QPainter& p) {
  drawGround(p);
  usePen(p);
  p.setBrush(kWall);
  p.drawRect(QRectF(14, 20, 72, 36));
  p.setBrush(kRoof);
  p.drawRect(QRectF(12, 12, 76, 8));
  // Striped awning.
  for (int i = 0; i < 8; ++i) {
    QPainterPath stripe;
    const double x = 12 + i * 9.5;
    stripe.moveTo(x, 20);
    stripe.lineTo(x + 9.5, 20);
    stripe.lineTo(x + 9.5, 26);
    stripe.arcTo(QRectF(x, 23, 9.5, 6), 0, -180);
    stripe.closeSubpath();
    usePen(p);
    p.setBrush(i % 2 == 0 ? kBrick : QColor(0xf7, 0xf3, 0xea));
    p.drawPath(stripe);
  }
  // Display window with goods, and the door.
  drawWindow(p, 20, 32, 36, 18);
  p.setPen(Qt::NoPen);
  p.setBrush(kSand);
  p.drawRect(QRectF(24, 42, 7, 8));
  p.setBrush(kTeal);
  p.drawRect(QRectF(33, 38, 6, 12));
  p.setBrush(kBrick);
  p.drawEllipse(QRectF(42, 43, 8, 7));
  usePen(p);
  p.setBrush(kTeal);
  p.drawRect(QRectF(64, 34, 14, 22));
  p.setBrush(kSand);
  p.drawEllipse(QPointF(75, 46), 1.2, 1.2);
}

void drawWheel(QPainter& p, double x, double y) {
  usePen(p);
  p.setBrush(QColor(0x33, 0x3d, 0x47));
  p.drawEllipse(QPointF(x, y), 6.5, 6.5);
  p.setBrush(QColor(0xc8, 0xcf, 0xd6));
  p.drawEllipse(QPointF(x, y), 2.5, 2.5);
}

// Laid out for the truck frame (2175 x 1215 twips, about 145 x 81): the
// quantity label sits on the cargo box, so the box is kept plain and light.
void drawTruck(QPainter& p) {
  usePen(p);
  p.setBrush(QColor(0xf7, 0xf3, 0xea));
  p.drawRoundedRect(QRectF(4, 6, 60, 40), 2, 2);
  QPainterPath cab;
  cab.moveTo(66, 46);
  cab.lineTo(66, 18);
  cab.lineTo(82, 18);
  cab.lineTo(92, 32);
  cab.lineTo(93, 46);
  cab.closeSubpath();
  p.setBrush(kTeal);
  p.drawPath(cab);
  p.setBrush(kGlass);
  QPainterPath glass;
  glass.moveTo(70, 22);
  glass.lineTo(81, 22);
  glass.lineTo(88, 32);
  glass.lineTo(70, 32);
  glass.closeSubpath();
  p.drawPath(glass);
  p.setBrush(QColor(0x52, 0x5f, 0x6b));
  p.drawRect(QRectF(2, 46, 93, 4));
  drawWheel(p, 18, 51);
  drawWheel(p, 48, 51);
  drawWheel(p, 80, 51);
}

void drawBottle(QPainter& p, double x, const QColor& color) {
  QPainterPath bottle;
  bottle.moveTo(x, 36);
  bottle.lineTo(x, 18);
  bottle.quadTo(x, 13, x + 3, 11);
  bottle.lineTo(x + 3, 4);
  bottle.lineTo(x + 7, 4);
  bottle.lineTo(x + 7, 11);
  bottle.quadTo(x + 10, 13, x + 10, 18);
  bottle.lineTo(x + 10, 36);
  bottle.closeSubpath();
  usePen(p);
  p.setBrush(color);
  p.drawPath(bottle);
  p.setBrush(QColor(0xf7, 0xf3, 0xea));
  p.drawRect(QRectF(x + 3, 2.5, 4, 2));
}

// A crate of bottles on a pallet, with a plain front panel for the quantity.
void drawBottleCrate(QPainter& p) {
  const QColor glass[] = {QColor(0x6f, 0xa8, 0x7e), QColor(0x8a, 0x6a, 0x4a)};
  for (int i = 0; i < 5; ++i) drawBottle(p, 22 + i * 11.5, glass[i % 2]);
  usePen(p);
  p.setBrush(kCrate);
  p.drawRect(QRectF(18, 24, 64, 26));
  p.setBrush(QColor(0xf7, 0xf3, 0xea));
  p.drawRoundedRect(QRectF(30, 27, 40, 19), 1.5, 1.5);
  p.setBrush(QColor(0x8e, 0x66, 0x38));
  p.drawRect(QRectF(14, 50, 72, 4));
  p.drawRect(QRectF(18, 54, 6, 3));
  p.drawRect(QRectF(47, 54, 6, 3));
  p.drawRect(QRectF(76, 54, 6, 3));
}

}  // namespace

void drawPicture(QPainter& painter, PictureKind kind, const QRectF& area) {
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing);
  fitDesignBox(painter, area);
  switch (kind) {
    case PictureKind::Factory:
      drawFactory(painter);
      break;
    case PictureKind::Distributor:
      drawDistributor(painter);
      break;
    case PictureKind::Wholesaler:
      drawWholesaler(painter);
      break;
    case PictureKind::Retailer:
      drawRetailer(painter);
      break;
    case PictureKind::Truck:
      drawTruck(painter);
      break;
    case PictureKind::BottleCrate:
      drawBottleCrate(painter);
      break;
  }
  painter.restore();
}

PictureBox::PictureBox(PictureKind kind, QWidget* parent) : QWidget(parent), m_kind(kind) {
  setAttribute(Qt::WA_TransparentForMouseEvents);
}

void PictureBox::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  drawPicture(painter, m_kind, QRectF(rect()));
}

}  // namespace quarn
