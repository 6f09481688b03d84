#pragma once

#include <QMenu>
#include <QPoint>

namespace velmora {

// Opens a menu that deletes itself once closed. Opened by a key, its first
// entry is the current one, as in a menu bar's menus: a screen reader then
// says the menu with that entry, where it would otherwise say nothing.
inline void popUpMenu(QMenu* menu, const QPoint& globalPos, bool byKeyboard)
{
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(globalPos);
    if (byKeyboard && !menu->actions().isEmpty()) {
        menu->setActiveAction(menu->actions().constFirst());
    }
}

// Shift+F10 and the Menu key, which open a control's menu by keyboard.
inline bool opensMenu(int key, Qt::KeyboardModifiers modifiers)
{
    modifiers &= ~Qt::KeypadModifier;
    return (key == Qt::Key_Menu && modifiers == Qt::NoModifier)
        || (key == Qt::Key_F10 && modifiers == Qt::ShiftModifier);
}

} // namespace velmora
