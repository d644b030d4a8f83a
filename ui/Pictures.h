#pragma once

#include <QWidget>

namespace quarn {

// The pictures of the main window, drawn in code so that they scale cleanly.
enum class PictureKind {
  Factory,
  Distributor,
  Wholesaler,
  Retailer,
  Truck,
  BottleCrate,  // the goods coming out of production, on the Factory's row
};

void drawPicture(QPainter& painter, PictureKind kind, const QRectF& area);

// An image control: shows a fixed picture, nothing else.
class PictureBox : public QWidget {
 public:
  PictureBox(PictureKind kind, QWidget* parent);
  PictureKind kind() const { return m_kind; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  PictureKind m_kind;
};

}  // namespace quarn
