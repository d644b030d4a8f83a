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

void DrawPicture(QPainter& painter, PictureKind kind, const QRectF& area);

// An image control: shows a fixed picture, nothing else.
class PictureBox : public QWidget {
 public:
  PictureBox(PictureKind kind, QWidget* parent);
  PictureKind Kind() const { return kind_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  PictureKind kind_;
};

}  // namespace quarn
