#pragma once

class QWidget;

namespace velmora {

// Puts a side window (the log, the odds) beside the main window: after it
// in the reading direction where the screen has room, before it otherwise,
// and else wherever it fits; always wholly within the screen's available
// area, and never larger than that area. Before the first show, the side
// window's frame is taken to be the main window's.
void placeBeside(QWidget* side, const QWidget* main);

} // namespace velmora
