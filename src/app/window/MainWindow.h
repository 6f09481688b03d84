#pragma once

#include <QList>
#include <QMainWindow>

#include <functional>

class QAction;
class QDockWidget;

namespace velmora {

class Board;
class KeyboardHome;
class RollLogView;
class Session;
class TalentsView;

// The one window: the board in the middle, the talents and the log docked
// beside it, a menu bar with every action and its key. It lays these out
// and routes the actions; what they act on is the session's.
class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    explicit MainWindow(Session& session, QWidget* parent = nullptr);
    ~MainWindow() override;

    Session& session() const { return m_session; }
    Board* board() const { return m_board; }

    // What earlier runs kept, once, after the first frame: the docks, the
    // window's layout as left, the log and the talents.
    void restoreKept();
    // The menus under the menu bar's titles, made after the first frame or
    // when this is called first; the actions and their keys are there before.
    void createMenus();

    // Ctrl+H and Ctrl+T: the dock opened, or the focus moved into it where
    // it was open elsewhere; closed where the focus is in it.
    void showLog();
    void showTalents();
    RollLogView* logView() const { return m_logView; }
    TalentsView* talentsView() const { return m_talentsView; }
    QDockWidget* logDock() const { return m_logDock; }
    QDockWidget* talentsDock() const { return m_talentsDock; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    // The menu bar's titles and the actions with their keys, for the first frame.
    void createActions();
    // Made after the first frame, or when first asked for.
    void createDocks();
    QDockWidget* makeDock(QWidget* view, const QString& title, const QString& name, QAction* toggle);
    void toggleDock(QDockWidget* dock, const std::function<void()>& focusInside);
    // A dock opened beside the board widens the window rather than squeezing
    // the board; one closed gives its width back. Always wholly on the screen.
    void fitAroundBoard(QDockWidget* dock, bool shown);
    void restoreLayout(const QByteArray& geometry, const QByteArray& state);
    // The board fitted to the screen the window is on, in the desktop's
    // font; the window grows or shrinks with it.
    void fitBoard();
    void widenNarrowDocks();
    void openOddsOfFocusedStep();
    void showKeys();
    void showAbout();

    Session& m_session;
    Board* m_board = nullptr;
    RollLogView* m_logView = nullptr;
    TalentsView* m_talentsView = nullptr;
    KeyboardHome* m_keyboardHome = nullptr;
    QDockWidget* m_logDock = nullptr;
    QDockWidget* m_talentsDock = nullptr;
    QList<QAction*> m_menuTitles;
    // Each menu's entries, a separator where null.
    QList<QList<QAction*>> m_menuItems;
    QAction* m_logAction = nullptr;
    QAction* m_talentsAction = nullptr;
    bool m_restored = false;
    bool m_keptMaximized = false;
};

} // namespace velmora
