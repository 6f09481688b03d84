#include "app/access/KeyboardHome.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDockWidget>
#include <QKeyEvent>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QTabBar>
#include <QTimer>

namespace velmora {

KeyboardHome::KeyboardHome(QMainWindow* window, QWidget* board, std::function<void()> home)
    : QObject(window)
    , m_window(window)
    , m_board(board)
    , m_home(std::move(home))
{
    QApplication::instance()->installEventFilter(this);
    // An entry such as "Wurf kopieren" moves the focus nowhere: the bar
    // would keep it, and with it the keys.
    connect(menuBar(), &QMenuBar::triggered, this,
        [this] { QTimer::singleShot(0, this, &KeyboardHome::leaveMenuBarIfIdle); });
    // However the bar got the keys, F10 or the toolkit's own Alt, they go
    // back where they were.
    // Compared, never asked: the window may be on its way out.
    connect(qApp, &QApplication::focusChanged, this, [this, bar = menuBar()](QWidget* old, QWidget* now) {
        if (now == bar && old != nullptr && old != bar && m_returnTo.isNull()) {
            m_returnTo = old;
        }
    });
}

QMenuBar* KeyboardHome::menuBar() const { return m_window->menuBar(); }

bool KeyboardHome::inMenuBar() const
{
    const auto* popup = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    return QApplication::focusWidget() == menuBar()
        || (popup != nullptr && menuBar()->actions().contains(popup->menuAction()));
}

void KeyboardHome::toggleMenuBar()
{
    if (inMenuBar()) {
        leaveMenuBar();
        return;
    }
    m_returnTo = QApplication::focusWidget();
    menuBar()->setFocus(Qt::MenuBarFocusReason);
    menuBar()->setActiveAction(menuBar()->actions().value(0));
}

void KeyboardHome::leaveMenuBar()
{
    // A menu's submenus close with it; a handful is more than the bar has.
    for (int open = 0; open < 8 && QApplication::activePopupWidget() != nullptr; ++open) {
        QApplication::activePopupWidget()->close();
    }
    menuBar()->setActiveAction(nullptr);
    QWidget* to = m_returnTo;
    m_returnTo = nullptr;
    if (to != nullptr && to != menuBar() && to->isVisible() && to->isEnabled()) {
        to->activateWindow();
        to->setFocus(Qt::OtherFocusReason);
    } else {
        goHome();
    }
}

bool KeyboardHome::switchMenu(int key)
{
    // From a menu of the bar itself, not from a submenu's entry.
    auto* open = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    const QList<QAction*> titles = menuBar()->actions();
    const auto at = open != nullptr ? titles.indexOf(open->menuAction()) : -1;
    if (at < 0
        || (open->activeAction() != nullptr && open->activeAction()->menu() != nullptr && key == Qt::Key_Right)) {
        return false;
    }
    // The next title opens with none of its entries chosen, as F10 opens
    // the first: a screen reader then says the menu's title, where Qt's
    // first entry, chosen at once, would be said alone.
    const auto step = key == Qt::Key_Right ? 1 : titles.size() - 1;
    for (auto next = (at + step) % titles.size(); next != at; next = (next + step) % titles.size()) {
        QAction* title = titles.at(next);
        if (title->isVisible() && title->isEnabled() && !title->isSeparator()) {
            menuBar()->setActiveAction(title);
            return true;
        }
    }
    return false;
}

void KeyboardHome::leaveMenuBarIfIdle()
{
    if (QApplication::focusWidget() == menuBar() && QApplication::activePopupWidget() == nullptr
        && menuBar()->activeAction() == nullptr) {
        leaveMenuBar();
    }
}

bool KeyboardHome::inDock(const QWidget* widget) const
{
    if (widget == nullptr) {
        return false;
    }
    // The tabs of docks stacked together belong to the window, not a dock.
    if (qobject_cast<const QTabBar*>(widget) != nullptr && widget->parentWidget() == m_window) {
        return true;
    }
    // Up to the window it is in: a dialog opened from a dock keeps Escape.
    for (const QWidget* w = widget; w != nullptr; w = w->parentWidget()) {
        if (const auto* dock = qobject_cast<const QDockWidget*>(w)) {
            return dock->parentWidget() == m_window;
        }
        if (w->isWindow()) {
            return false;
        }
    }
    return false;
}

void KeyboardHome::goHome()
{
    m_window->activateWindow();
    m_home();
}

bool KeyboardHome::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (type == QEvent::MouseButtonPress && watched->isWidgetType()) {
        // The band and the labels beneath and between the controls.
        auto* widget = static_cast<QWidget*>(watched);
        const bool empty = widget == m_board
            || (m_board->isAncestorOf(widget) && widget->focusPolicy() == Qt::NoFocus
                && qobject_cast<QAbstractButton*>(widget) == nullptr);
        QWidget* focus = QApplication::focusWidget();
        if (empty && (focus == nullptr || !m_board->isAncestorOf(focus))) {
            goHome();
        }
        return false;
    }
    if (type == QEvent::FocusIn && watched == menuBar()) {
        // Back from a dialog that an entry opened, Qt gives the focus to the
        // bar again, with no menu title chosen.
        QTimer::singleShot(0, this, &KeyboardHome::leaveMenuBarIfIdle);
        return false;
    }
    const bool keyEvent = type == QEvent::KeyPress || type == QEvent::KeyRelease || type == QEvent::ShortcutOverride;
    if (keyEvent && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        // An Escape that finds a list or a menu open closes that only: X
        // brings its press to the list's field once the list has gone.
        if (type != QEvent::KeyRelease && QApplication::activePopupWidget() != nullptr) {
            m_escapeClosedPopup = true;
        } else if (type == QEvent::KeyRelease) {
            m_escapeClosedPopup = false;
        }
    }
    if (type != QEvent::KeyPress && type != QEvent::KeyRelease) {
        return false;
    }
    const auto& key = *static_cast<QKeyEvent*>(event);
    const bool plain = (key.modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    if (inMenuBar()) {
        if (type == QEvent::KeyRelease) {
            if (key.key() == Qt::Key_Alt && m_altAlone) {
                m_altAlone = false;
                leaveMenuBar();
                return true;
            }
            return false;
        }
        m_altAlone = key.key() == Qt::Key_Alt;
        if (plain && (key.key() == Qt::Key_Left || key.key() == Qt::Key_Right) && switchMenu(key.key())) {
            return true;
        }
        // F10 reaches an open menu, not the window's shortcut. Escape leaves
        // the whole bar at once, as F10 entered it, where Qt would close the
        // open menu and keep the keys in the bar.
        if (plain && (key.key() == Qt::Key_F10 || key.key() == Qt::Key_Escape)) {
            leaveMenuBar();
            return true;
        }
        return false;
    }
    if (type == QEvent::KeyPress && plain && key.key() == Qt::Key_Escape && QApplication::activePopupWidget() == nullptr
        && !m_escapeClosedPopup && watched == QApplication::focusWidget() && inDock(static_cast<QWidget*>(watched))) {
        goHome();
        return true;
    }
    return false;
}

} // namespace velmora
