#pragma once

#include <QFrame>
#include <QLabel>
#include <array>
#include <cstdint>

#include "base/Roles.h"
#include "game/GameView.h"
#include "ui/Twips.h"

namespace quarn {

// The controls a week's shipments move: three truck slots per road (slot j
// of role r is index r + 4 j), the markers of the orders travelling back up
// the chain, and the role frames the trucks drive to.
struct ShipmentControls {
  std::array<QFrame*, 12> trucks{};
  std::array<QLabel*, 12> truckLabels{};
  std::array<Shape*, 3> loads{};      // an order travelling back along its road
  std::array<Shape*, 3> transfers{};  // an order arrived at the far end
  std::array<QWidget*, kRoleCount> roles{};
  double roadStart = 0;       // where every road starts (twips)
  double loadPathLength = 0;  // how far a load marker travels (twips)
};

// One week's animation of the shipments, in twips: every truck drives one
// slot on, the one that delivers comes back to the start of its road with
// the shipment that has just left, and the trucks end snapped onto the slot
// grid of the trial's delay.
class ShipmentAnimation {
 public:
  explicit ShipmentAnimation(const ShipmentControls& controls) : m_controls(controls) {}

  // Lays the trucks out for a trial with `delay` weeks of shipping: its
  // slots across the road, the slots it does not use hidden.
  void layOut(int16_t delay);

  // Ticks of one week's animation: 15, 8 and 5 for Delay 1, 2 and 3.
  int16_t tickCount() const;

  void start(const Shipments& shipments);

  // Moves everything one tick on. Returns true after the last tick, with the
  // trucks snapped onto their slots.
  bool tick();

 private:
  void snapToSlots();
  int slotsUsed() const;

  ShipmentControls m_controls;
  Shipments m_shipments;
  int16_t m_delay = 1;
  int16_t m_pathLength = 0;  // from the start of a road to the role it leads to
  int16_t m_tickBase = 0;    // ticks a truck needs for the whole road
  int16_t m_slotMargin = 0;  // the first slot's left edge
  int16_t m_ticksLeft = 0;
};

}  // namespace quarn
