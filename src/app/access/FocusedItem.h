#pragma once

#include <functional>

class QAbstractItemView;
class QWidget;

namespace velmora {

// Once a list's or table's own focus has been told, tells assistive
// technology which of its items has it: without that, a screen reader says
// only "list" or "table". Call it as the view takes the focus; `child`
// gives the item's index among the view's accessible children then, or -1
// for none.
void tellFocusedItemLater(QWidget* view, std::function<int()> child);
// The same for a table's current cell, which its accessible interface
// numbers after the headers.
void tellFocusedCellLater(QAbstractItemView* table);

} // namespace velmora
