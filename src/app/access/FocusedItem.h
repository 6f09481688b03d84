#pragma once

#include <functional>

class QWidget;

namespace velmora {

// Once a list's or table's own focus has been told, tells assistive
// technology which of its items has it: without that, a screen reader says
// only "list" or "table". Call it as the view takes the focus; `child`
// gives the item's index among the view's accessible children then, or -1
// for none.
void tellFocusedItemLater(QWidget* view, std::function<int()> child);

} // namespace velmora
