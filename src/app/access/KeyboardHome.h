#pragma once

#include <QObject>
#include <QPointer>

#include <functional>

class QMainWindow;
class QMenuBar;
class QWidget;

namespace velmora {

// Where the keys go when a person leaves a part of the window, one rule for
// all of it: leaving the menu bar (Escape, F10, Alt, or an entry that moves
// no focus) gives them back to the control that had them; Escape anywhere in
// a dock, its tabs too, and a click on the board where no control is take
// them home to the board. Otherwise they would stay where nothing acts on a
// step number or a roll, and the next Space would open a menu.
class KeyboardHome : public QObject {
public:
    KeyboardHome(QMainWindow* window, QWidget* board, std::function<void()> home);

    // F10: the menu bar on its first menu, or out of it again.
    void toggleMenuBar();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QMenuBar* menuBar() const;
    bool inMenuBar() const;
    void leaveMenuBar();
    void leaveMenuBarIfIdle();
    // Left or Right in an open menu: the neighbouring menu of the bar.
    bool switchMenu(int key);
    bool inDock(const QWidget* widget) const;
    void goHome();

    QMainWindow* m_window;
    QWidget* m_board;
    std::function<void()> m_home;
    QPointer<QWidget> m_returnTo;
    bool m_altAlone = false;
    bool m_escapeClosedPopup = false;
};

} // namespace velmora
