#pragma once

#include <initializer_list>

class QRect;
class QWidget;

namespace velmora {

// Puts a side window (the log, the odds) beside the main window: after it
// in the reading direction where the screen has room, before it otherwise,
// and else wherever it fits; always wholly within the screen's available
// area, and never larger than that area. Before the first show, the side
// window's frame is taken to be the main window's.
void placeBeside(QWidget* side, const QWidget* main);
// The same beside a part of the main window, in global coordinates, which
// stays in sight: the board, where docks widen the window.
void placeBeside(QWidget* side, const QWidget* main, const QRect& keepInSight);
// Beside the first of these parts that leaves room for the side window at
// its narrowest, else beside the last: the whole window with its docks
// where the screen has room, the board where it has not.
void placeBeside(QWidget* side, const QWidget* main, std::initializer_list<QRect> keepInSight);
// A window moved, and shrunk where it must be, to lie wholly on the screen
// that holds most of it, or on the primary screen where none does: a
// layout kept from a larger screen or one unplugged since. A maximized or
// full-screen window is the window manager's to place.
void keepOnScreen(QWidget* window);

} // namespace velmora
