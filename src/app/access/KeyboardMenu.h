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
        // The control the menu was on has the focus again, which Qt tells no
        // screen reader: it would go on standing on the closed menu's entry.
        QTimer::singleShot(0, menu, [] {
            QWidget* focused = QApplication::focusWidget();
            if (focused != nullptr && QApplication::activePopupWidget() == nullptr && QAccessible::isActive()) {
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

// Entries for actions kept elsewhere, made anew for each menu. A screen
// reader knows an entry by its action: one that still stood on an entry of
// the last menu took the same entry in this one for the one it knew, and
// said nothing.
inline void addStandIns(QMenu* menu, const QList<QAction*>& actions)
{
    for (QAction* action : actions) {
        if (action->isSeparator()) {
            menu->addSeparator();
            continue;
        }
        QAction* standIn = menu->addAction(action->icon(), action->text());
        standIn->setEnabled(action->isEnabled());
        standIn->setCheckable(action->isCheckable());
        standIn->setChecked(action->isChecked());
        // Shown in the menu, and bound to the menu alone, so that the
        // action's own shortcut stays the one that acts.
        standIn->setShortcut(action->shortcut());
        standIn->setShortcutContext(Qt::WidgetShortcut);
        QObject::connect(standIn, &QAction::triggered, action, &QAction::trigger);
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
