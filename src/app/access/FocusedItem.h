#pragma once

#include <functional>

class QAbstractItemView;
class QObject;
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

// Tells assistive technology that a cell's text has changed: a screen
// reader keeps a cell's name once it has read it (Orca 48), and would go on
// saying the old one.
void tellCellRenamed(QAbstractItemView* table, int row, int column);

// Tells the current cell each time the table takes the focus: Qt tells it
// only as the current cell changes, and a screen reader that tabs into the
// table again hears the table and no cell.
void tellCellOnFocus(QAbstractItemView* table);

// Tells a dialog's focused control again once the dialog is active: Orca 48
// heard the window's activation after the control's focus now and then, and
// then the dialog's name but not the field the keys go to. Watches the whole
// application for as long as `owner` lives.
void tellDialogFocusWhenActive(QObject* owner);

// A table's current cell only while the table has the focus: Qt tells
// assistive technology that the current cell is focused, whether its table
// is or not, and a screen reader then reads a docked table, even a closed
// one, instead of the control that has the focus. The chosen row is the
// selection; it becomes the current row again as the table takes the focus.
void keepCurrentWithFocus(QAbstractItemView* table);
// Chooses the row: selected, and current where the table has the focus.
void chooseRow(QAbstractItemView* table, int row);
// The chosen row, or -1.
int chosenRow(const QAbstractItemView* table);

} // namespace velmora
