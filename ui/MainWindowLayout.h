#pragma once

// The main window's regions, in twips (15 to a pixel), named for what they
// hold. The window keeps its designed size and every control its designed
// place, so the regions are fixed rectangles rather than Qt layouts; inside
// a region its own controls are placed relative to its corner.
//
// A new control goes into the region it belongs to (placed relative to that
// region's corner), or into one of the free regions below, which nothing
// covers; the static_asserts at the end keep the regions apart.

namespace quarn::layout {

struct TwipsRect {
  double left = 0;
  double top = 0;
  double width = 0;
  double height = 0;
  constexpr double right() const { return left + width; }
  constexpr double bottom() const { return top + height; }
};

constexpr bool overlap(const TwipsRect& a, const TwipsRect& b) {
  return a.left < b.right() && b.left < a.right() && a.top < b.bottom() && b.top < a.bottom();
}
constexpr bool inside(const TwipsRect& inner, const TwipsRect& outer) {
  return inner.left >= 0 && inner.top >= 0 && inner.right() <= outer.width &&
         inner.bottom() <= outer.height;
}

// The window, and the display frame within it (the closing screen covers
// the same rectangle). Every other region lies within the display frame.
inline constexpr TwipsRect kWindow{0, 0, 15495, 11415};
inline constexpr TwipsRect kDisplay{240, 120, 15015, 11055};

// The four roles stand in bands, Factory at the top, one band per role.
inline constexpr double kRoleBandStep = 2640;

// A role's picture, name and cost tag.
constexpr TwipsRect roleFrame(int role) {
  return {7560, 240 + kRoleBandStep * role, 2535, 2175};
}
// A role's figures (Recent Order, Back Order, Inventory, ...).
constexpr TwipsRect roleDetails(int role) {
  return {10200, 240 + kRoleBandStep * role, 2655, 2535};
}

// The participant's panel: name, trial and week counters, the order box and
// the order button.
inline constexpr TwipsRect kPlayerPanel{12960, 240, 1935, 2535};
// The cost sum over the trials, and the demand forecast, under the roads.
inline constexpr TwipsRect kTotalCost{120, 9960, 2415, 735};
inline constexpr TwipsRect kForecast{2640, 9960, 4815, 735};

// A team member's waiting notice: below the participant's panel while the
// panel stands in the Factory's band (as here), above it in the other bands.
inline constexpr TwipsRect kTeamWaiting{12960, 2880, 1935, 1200};
inline constexpr double kTeamWaitingGap = 105;
// The week clock's countdown, and what it ordered: beyond the waiting
// notice, on the side away from the participant's panel.
inline constexpr TwipsRect kWeekClock{12960, 4185, 1935, 720};
// Room nothing covers yet: beside the role figures below the waiting
// notice, and below the forecast's row.
inline constexpr TwipsRect kFreeBesidePlayerPanel{12960, 4200, 1935, 6480};
inline constexpr TwipsRect kFreeBottomRow{120, 10800, 7335, 240};

static_assert(inside(kDisplay, kWindow));
static_assert(inside(kTeamWaiting, kDisplay) && !overlap(kTeamWaiting, kPlayerPanel) &&
              !overlap(kTeamWaiting, kFreeBesidePlayerPanel));
static_assert(inside(kPlayerPanel, kDisplay) && inside(kFreeBesidePlayerPanel, kDisplay));
static_assert(inside(kTotalCost, kDisplay) && inside(kForecast, kDisplay));
static_assert(inside(kFreeBottomRow, kDisplay) && inside(roleDetails(3), kDisplay));
static_assert(!overlap(kTotalCost, kForecast) && !overlap(kForecast, kFreeBottomRow));
static_assert(!overlap(kPlayerPanel, kFreeBesidePlayerPanel));
static_assert(!overlap(kPlayerPanel, roleDetails(0)) && !overlap(roleFrame(0), roleDetails(0)));
static_assert(!overlap(kFreeBesidePlayerPanel, roleDetails(1)) &&
              !overlap(kFreeBesidePlayerPanel, roleDetails(3)));

}  // namespace quarn::layout
