#include "ui/ShipmentAnimation.h"

#include <algorithm>

#include "base/Numbers.h"

namespace quarn {

namespace {

constexpr double kTruckStep = 480;    // twips a truck moves per tick
constexpr double kTruckWidth = 2160;  // width of a laid-out truck frame
constexpr int kSlots = 3;             // truck slots per road on the window

QString text(int64_t value) {
  return QString::fromStdString(decimal(value));
}

}  // namespace

int ShipmentAnimation::slotsUsed() const {
  return std::clamp<int>(m_delay, 0, kSlots);
}

void ShipmentAnimation::layOut(int16_t delay) {
  m_delay = delay;
  const double start = m_controls.roadStart;
  m_pathLength = toInt16(leftOf(m_controls.roles[0]) - start, "ShipmentPathLength");
  m_tickBase = toInt16(m_pathLength / kTruckStep, "AnimationTickBase");
  const double slot = static_cast<double>(m_pathLength) / delay;
  m_slotMargin = toInt16((slot - widthOf(m_controls.trucks[0])) / 2 + start, "TruckSlotMargin");
  for (int j = 0; j < kSlots; ++j) {
    for (int r = 0; r < kRoleCount; ++r) {
      QFrame* truck = m_controls.trucks[r + 4 * j];
      if (j < delay) {
        setWidth(truck, kTruckWidth);
        setLeft(truck, m_slotMargin + j * slot);
      } else {
        truck->hide();
      }
    }
  }
}

int16_t ShipmentAnimation::tickCount() const {
  return toInt16(static_cast<double>(m_tickBase) / m_delay, "AnimationTickCount");
}

void ShipmentAnimation::start(const Shipments& shipments) {
  m_shipments = shipments;
  m_ticksLeft = std::max<int16_t>(tickCount(), 1);
  for (Shape* load : m_controls.loads) load->show();
}

bool ShipmentAnimation::tick() {
  const double roadStart = m_controls.roadStart;
  for (int j = 0; j < slotsUsed(); ++j) {
    for (int r = 0; r < kRoleCount; ++r) {
      QFrame* truck = m_controls.trucks[r + 4 * j];
      if (isShown(truck)) {
        setLeft(truck, leftOf(truck) + kTruckStep);
        if (leftOf(truck) >= leftOf(m_controls.roles[r])) {
          m_controls.truckLabels[r + 4 * j]->setText(text(m_shipments.departing[r]));
          truck->hide();
          setLeft(truck, roadStart);
          truck->show();
        }
      }
      if (r < 3) {
        Shape* load = m_controls.loads[r];
        if (isShown(load)) {
          setLeft(load,
                  leftOf(load) - m_controls.loadPathLength / static_cast<double>(m_ticksLeft));
          if (leftOf(load) < roadStart) {
            load->hide();
            setLeft(load, m_controls.loadPathLength);
            m_controls.transfers[r]->show();
          }
        } else {
          m_controls.transfers[r]->hide();
        }
      }
    }
  }
  if (--m_ticksLeft > 0) return false;
  snapToSlots();
  return true;
}

void ShipmentAnimation::snapToSlots() {
  const int64_t slot =
      static_cast<int64_t>(roundHalfEven(static_cast<double>(m_pathLength) / m_delay));
  for (int j = 0; j < slotsUsed(); ++j) {
    for (int r = 0; r < kRoleCount; ++r) {
      QFrame* truck = m_controls.trucks[r + 4 * j];
      const double left = leftOf(truck);
      const int64_t offset = static_cast<int64_t>(roundHalfEven(left)) % slot;
      setLeft(truck, m_slotMargin + left - static_cast<double>(offset));
    }
  }
}

}  // namespace quarn
