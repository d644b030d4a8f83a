#pragma once

#include <QString>

class QAbstractButton;
class QLabel;
class QWidget;

namespace quarn {

// What a window manager's title bar takes besides the title: the window's
// icon, its three buttons and the margins between them.
inline constexpr int kTitleBarRoom = 120;

// The pixels a window must be wide so that its title bar shows `title`
// whole (measured in a bold title font, as window managers draw it).
int titleBarWidth(const QString& title);

// Widens `window` (at least) to titleBarWidth of its title.
void keepTitleWhole(QWidget& window);

// Fits the label's text into the label, whose place is fixed: in its own
// font when it fits in one line; else in the largest font, half a point at
// a time down to `smallestPoints`, in which it fits in one line or, wrapped,
// in the label's height. The font size is set in the label's style sheet,
// over the window's.
void fitCaption(QLabel& label, double smallestPoints);

// The same for a button's caption, in one line.
void fitCaption(QAbstractButton& button, double smallestPoints);

}  // namespace quarn
