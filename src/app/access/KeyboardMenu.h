#pragma once

#include <QAccessible>
#include <QApplication>
#include <QMenu>
#include <QPoint>
#include <QTimer>

namespace velmora {

// Opens a menu that deletes itself a while after it closed: keys that a
// screen reader held back while it closed still arrive at it then, and go on
// (see LateKeys). Opened by a key, its first entry is the current one, as in
// a menu bar's menus: a screen reader then says the menu with that entry,
// where it would otherwise say nothing.
inline void popUpMenu(QMenu* menu, const QPoint& globalPos, bool byKeyboard)
{
    QObject::connect(menu, &QMenu::aboutToHide, menu, [menu] {
        QTimer::singleShot(5000, menu, &QObject::deleteLater);
        // The control the menu was on has the focus again, but Qt tells no
        // screen reader so: one that still stands on the menu's entry takes
        // the same entry in the next menu for the one it knows, and is silent.
        QTimer::singleShot(0, menu, [] {
            if (QWidget* focused = QApplication::focusWidget(); focused != nullptr && QAccessible::isActive()) {
                QAccessibleEvent event(focused, QAccessible::Focus);
                QAccessible::updateAccessibility(&event);
            }
        });
    });
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
