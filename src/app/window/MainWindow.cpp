#include "app/window/MainWindow.h"

#include "app/access/AccessibleFactory.h"
#include "app/access/Announcer.h"
#include "app/access/FocusedItem.h"
#include "app/access/KeyboardHome.h"
#include "app/access/LateKeys.h"
#include "app/desktop/AfterFirstFrame.h"
#include "app/desktop/Placement.h"
#include "app/log/RollLogView.h"
#include "app/odds/StepOddsHook.h"
#include "app/session/Session.h"
#include "app/talents/TalentsView.h"
#include "app/window/Board.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDockWidget>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QScreen>
#include <QScrollArea>
#include <QStyle>
#include <QTimer>
#include <QWindow>

#include <algorithm>

namespace velmora {

namespace {
const QString kMaximized = QStringLiteral("maximized");
} // namespace

MainWindow::MainWindow(Session& session, QWidget* parent)
    : QMainWindow(parent)
    , m_session(session)
    , m_board(new Board(session, this))
{
    installAccessibleLineEdits();
    setObjectName(QStringLiteral("velmora"));
    setWindowTitle(tr("Velmora - Stand-Alone-Version"));
    setCentralWidget(m_board);
    // Docks side by side or stacked as the player drags them.
    setDockOptions(AnimatedDocks | AllowNestedDocks | AllowTabbedDocks);
    m_keyboardHome = new KeyboardHome(this, m_board, [this] { m_board->takeFocusBack(); });
    createActions();
    afterFirstFrame(this, [this] { createMenus(); });
    QApplication::instance()->installEventFilter(new LateKeys(this));
    tellDialogFocusWhenActive(this);
    // The board's size and the menu bar's, as the window's client area.
    fitBoard();
    resize(m_board->sizeHint() + QSize(0, menuBar()->sizeHint().height()));
    // Qt forgets a maximized window kept on a screen of another size.
    connect(&session.keeper(), &Keeper::settingsRead, this, [this](const QHash<QString, QByteArray>& settings) {
        m_keptMaximized = settings.value(kMaximized) == QByteArrayLiteral("1");
    });
    connect(&session.keeper(), &Keeper::layoutRead, this, &MainWindow::restoreLayout);
}

MainWindow::~MainWindow() = default;

void MainWindow::createActions()
{
    // Application-wide: the odds window and a floating dock are windows of
    // their own, and the keys work there too. The window holds them, so that
    // their keys work from the first frame, before the menus exist.
    const auto action = [this](const QString& text, const QKeySequence& key, auto slot,
                            Qt::ShortcutContext context = Qt::ApplicationShortcut) {
        auto* a = new QAction(text, this);
        a->setShortcut(key);
        a->setShortcutContext(context);
        connect(a, &QAction::triggered, this, slot);
        addAction(a);
        return a;
    };
    // Mnemonics apart from every dock's, which work while the menu bar is there.
    for (const QString& title : {tr("&Datei"), tr("&Bearbeiten"), tr("&Ansicht"), tr("&Hilfe")}) {
        m_menuTitles.append(menuBar()->addAction(title));
    }
    QAction* save = action(tr("Verlauf &speichern …"), QKeySequence::Save, [this] {
        createDocks();
        m_logView->saveAs();
    });
    QAction* quit = action(tr("&Beenden"), QKeySequence(Qt::CTRL | Qt::Key_Q), [this] { close(); });
    // The window's own: elsewhere Ctrl+C copies what is selected there.
    QAction* copy = action(
        tr("Wurf &kopieren"), QKeySequence::Copy, [this] { m_board->copyRoll(); }, Qt::WindowShortcut);
    QAction* clear = action(
        tr("Verlauf &leeren …"), QKeySequence(),
        [this] {
            createDocks();
            m_logView->askToClear();
        },
        Qt::WindowShortcut);
    // Until the program ends, each clearing in turn, the latest first.
    QAction* undo = action(
        tr("Löschen &rückgängig"), QKeySequence::Undo, [this] { m_session.keeper().undoClearing(); },
        Qt::WindowShortcut);
    undo->setEnabled(false);
    connect(&m_session.keeper(), &Keeper::undoableChanged, undo,
        [undo](std::int64_t rolls) { undo->setEnabled(rolls > 0); });
    auto* luck = new QAction(tr("Kopie mit &Glück"), this);
    luck->setCheckable(true);
    luck->setChecked(m_session.luckInCopy());
    connect(luck, &QAction::toggled, &m_session, &Session::setLuckInCopy);
    connect(&m_session, &Session::luckInCopyChanged, luck, &QAction::setChecked);
    m_talentsAction = action(tr("&Talente"), QKeySequence(Qt::CTRL | Qt::Key_T), [this] { showTalents(); });
    m_logAction = action(tr("&Verlauf"), QKeySequence(Qt::CTRL | Qt::Key_H), [this] { showLog(); });
    for (QAction* dock : {m_talentsAction, m_logAction}) {
        dock->setCheckable(true);
    }
    QAction* odds =
        action(tr("&Chancen der Stufe …"), QKeySequence(Qt::CTRL | Qt::Key_K), [this] { openOddsOfFocusedStep(); });
    QAction* keys = action(tr("&Tasten"), QKeySequence::HelpContents, [this] { showKeys(); });
    QAction* about = action(
        tr("Ü&ber Velmora"), QKeySequence(), [this] { showAbout(); }, Qt::WindowShortcut);
    m_menuItems = {
        {save, nullptr, quit}, {copy, clear, undo, nullptr, luck}, {m_talentsAction, m_logAction, odds}, {keys, about}};

    // F10 opens the menu bar, as on most desktops.
    auto* menuKey = new QAction(this);
    menuKey->setShortcut(QKeySequence(Qt::Key_F10));
    connect(menuKey, &QAction::triggered, m_keyboardHome, &KeyboardHome::toggleMenuBar);
    addAction(menuKey);
    // What a step's or the board's context menu offers besides its own.
    m_board->addAction(copy);
    m_board->addAction(m_logAction);
    m_board->addAction(m_talentsAction);
}

void MainWindow::createMenus()
{
    if (m_menuTitles.isEmpty() || m_menuTitles.front()->menu<QMenu*>() != nullptr) {
        return;
    }
    for (qsizetype i = 0; i < m_menuTitles.size(); ++i) {
        QAction* title = m_menuTitles[i];
        auto* menu = new QMenu(this);
        // Named for screen readers, which say a menu's name as it is reached:
        // Qt gives them its window title, which a menu has not.
        menu->setAccessibleName(title->text().remove(QLatin1Char('&')));
        for (QAction* item : m_menuItems[i]) {
            if (item == nullptr) {
                menu->addSeparator();
            } else {
                menu->addAction(item);
            }
        }
        title->setMenu(menu);
    }
}

void MainWindow::restoreKept()
{
    createDocks();
    m_session.keeper().start();
}

QDockWidget* MainWindow::makeDock(QWidget* view, const QString& title, const QString& name, QAction* toggle)
{
    auto* dock = new QDockWidget(title, this);
    dock->setObjectName(name);
    // In large type a view is higher than the screen, or on a small screen
    // wider than the room beside the board: it scrolls rather than making
    // the window larger than the screen, or cutting what it shows.
    auto* scroll = new QScrollArea(dock);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setFocusPolicy(Qt::NoFocus); // its controls take the focus, not the frame around them
    scroll->setWidget(view);
    dock->setWidget(scroll);
    dock->hide();
    addDockWidget(Qt::RightDockWidgetArea, dock);
    dock->hide();
    // Not bound to this window: the window's teardown hides its docks after
    // it has stopped being a MainWindow.
    connect(
        dock, &QDockWidget::visibilityChanged, toggle, [toggle, dock](bool) { toggle->setChecked(!dock->isHidden()); });
    // A dock behind another's tab is out of sight but not hidden to Qt,
    // whose focus chain would lead Tab through its controls.
    connect(dock, &QDockWidget::visibilityChanged, scroll, [scroll](bool visible) { scroll->setEnabled(visible); });
    return dock;
}

void MainWindow::createDocks()
{
    if (m_talentsDock != nullptr) {
        return;
    }
    m_talentsView = new TalentsView(m_session, this);
    m_talentsDock = makeDock(m_talentsView, tr("Talente"), QStringLiteral("talentsDock"), m_talentsAction);
    m_logView = new RollLogView(m_session, this);
    m_logDock = makeDock(m_logView, tr("Verlauf"), QStringLiteral("logDock"), m_logAction);
    connect(m_logView, &RollLogView::rollAgain, &m_session, &Session::rollAgain);
}

void MainWindow::showLog()
{
    createDocks();
    toggleDock(m_logDock, [this] { m_logView->open(); });
}

void MainWindow::showTalents()
{
    createDocks();
    toggleDock(m_talentsDock, [this] { m_talentsView->open(); });
}

void MainWindow::toggleDock(QDockWidget* dock, const std::function<void()>& focusInside)
{
    const QWidget* focus = QApplication::focusWidget();
    const bool focusedInside = focus != nullptr && dock->isAncestorOf(focus);
    if (!dock->isHidden() && focusedInside) {
        // First: a closing dock hands the focus on along the chain.
        m_board->takeFocusBack();
        dock->close();
        fitAroundBoard(dock, false);
        return;
    }
    const bool opening = dock->isHidden();
    QDockWidget* other = dock == m_logDock ? m_talentsDock : m_logDock;
    if (opening && !other->isHidden() && !other->isFloating() && dockWidgetArea(other) == dockWidgetArea(dock)
        && tabifiedDockWidgets(other).isEmpty()) {
        // Stacked as tabs: the window is as high as the board, too low for
        // two docks one above the other. Where the player put them otherwise,
        // they stay so.
        tabifyDockWidget(other, dock);
    }
    dock->show();
    dock->raise();
    if (opening) {
        fitAroundBoard(dock, true);
    }
    if (dock->isFloating()) {
        dock->activateWindow();
    }
    focusInside();
    if (opening) {
        // Heard as it opens: Orca 48 names no dock that the focus enters,
        // where Orca 43 says it once more as the focus's context.
        m_board->announce(dock->windowTitle());
    }
}

void MainWindow::fitAroundBoard(QDockWidget* dock, bool shown)
{
    if (dock->isFloating() || isMaximized() || isFullScreen()) {
        return;
    }
    const QScreen* screen = this->screen();
    if (screen == nullptr) {
        return;
    }
    // As laid out now, with the dock shown or gone.
    layout()->activate();
    const Qt::DockWidgetArea where = dockWidgetArea(dock);
    const QList<QDockWidget*> docks = findChildren<QDockWidget*>();
    const auto beside = std::find_if(docks.begin(), docks.end(), [&](QDockWidget* other) {
        return other != dock && !other->isHidden() && !other->isFloating() && dockWidgetArea(other) == where;
    });
    const bool across = where == Qt::LeftDockWidgetArea || where == Qt::RightDockWidgetArea;
    const auto extent = [across](const QSize& size) { return across ? size.width() : size.height(); };
    // The board's room beyond its own, and a dock's stacked with it: the
    // dock takes that first.
    const int spare = extent(m_board->size() - m_board->minimumSizeHint());
    int change = 0;
    if (shown) {
        const int want = extent(static_cast<QScrollArea*>(dock->widget())->widget()->sizeHint() + QSize(8, 8));
        change = std::max(0, want - spare - (beside != docks.end() ? extent((*beside)->size()) : 0));
    } else if (beside == docks.end()) {
        change = -spare;
    }
    const QRect area = screen->availableGeometry();
    const QSize decoration = frameGeometry().size() - size();
    const QSize size = across ? this->size() + QSize(change, 0) : this->size() + QSize(0, change);
    resize(size.boundedTo(area.size() - decoration));
    if (shown) {
        layout()->activate();
        // The dock, not the board, takes what the window grew by.
        resizeDocks({dock}, {extent(dock->size()) + extent(m_board->size() - m_board->minimumSizeHint())},
            across ? Qt::Horizontal : Qt::Vertical);
    }
    keepOnScreen(this);
}

void MainWindow::restoreLayout(const QByteArray& geometry, const QByteArray& state)
{
    if (m_restored) {
        return;
    }
    m_restored = true;
    createDocks();
    if (!geometry.isEmpty()) {
        restoreGeometry(geometry);
    }
    if (!state.isEmpty()) {
        restoreState(state);
    }
    if (m_keptMaximized && !isMaximized()) {
        setWindowState(windowState() | Qt::WindowMaximized);
    }
    fitBoard(); // kept on another screen, or in another font
    widenNarrowDocks();
    keepOnScreen(this);
    for (QDockWidget* dock : {m_talentsDock, m_logDock}) {
        if (dock->isFloating()) {
            keepOnScreen(dock);
        }
    }
}

void MainWindow::widenNarrowDocks()
{
    // A dock left narrower than its content, on a smaller screen or by a
    // window left small, would cut what it shows: it opens as wide as when
    // first opened, the window growing as far as the screen lets it.
    const QScreen* screen = this->screen();
    if (screen == nullptr) {
        return;
    }
    layout()->activate();
    for (const Qt::DockWidgetArea area :
        {Qt::LeftDockWidgetArea, Qt::RightDockWidgetArea, Qt::TopDockWidgetArea, Qt::BottomDockWidgetArea}) {
        const bool across = area == Qt::LeftDockWidgetArea || area == Qt::RightDockWidgetArea;
        const auto extent = [across](const QSize& size) { return across ? size.width() : size.height(); };
        QList<QDockWidget*> docks;
        int have = 0;
        int least = 0;
        int want = 0;
        for (QDockWidget* dock : {m_talentsDock, m_logDock}) {
            if (dock->isHidden() || dock->isFloating() || dockWidgetArea(dock) != area) {
                continue;
            }
            const QWidget* content = static_cast<QScrollArea*>(dock->widget())->widget();
            docks.append(dock);
            have = std::max(have, extent(dock->size()));
            least = std::max(least, extent(content->minimumSizeHint()));
            want = std::max(want, extent(content->sizeHint() + QSize(8, 8)));
        }
        if (docks.isEmpty() || have >= least) {
            continue;
        }
        if (!isMaximized() && !isFullScreen()) {
            const QSize room = screen->availableGeometry().size() - (frameGeometry().size() - size());
            const QSize more = across ? QSize(want - have, 0) : QSize(0, want - have);
            resize((size() + more).boundedTo(room));
            layout()->activate();
        }
        resizeDocks(docks, QList<int>(docks.size(), want), across ? Qt::Horizontal : Qt::Vertical);
    }
}

void MainWindow::fitBoard()
{
    const QScreen* screen = this->screen();
    if (screen == nullptr) {
        return;
    }
    // The frame is known once the window is on screen; before, the style's
    // title bar stands in for it.
    const QSize frame = isVisible() && frameGeometry().size() != size()
        ? frameGeometry().size() - size()
        : QSize(0, style()->pixelMetric(QStyle::PM_TitleBarHeight));
    const QSize before = m_board->sizeHint();
    m_board->fitInto(screen->availableGeometry().size() - frame - QSize(0, menuBar()->sizeHint().height()));
    const QSize grown = m_board->sizeHint() - before;
    if (!grown.isNull() && !isMaximized() && !isFullScreen()) {
        resize(size() + grown);
        if (isVisible()) {
            keepOnScreen(this);
        }
    }
}

void MainWindow::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        fitBoard();
    }
}

void MainWindow::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    // Moved to another screen, or the screen changed: fitted to it.
    connect(windowHandle(), &QWindow::screenChanged, this, &MainWindow::fitBoard, Qt::UniqueConnection);
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    m_session.keeper().keepLayout(saveGeometry(), saveState());
    m_session.keeper().keepSetting(kMaximized, isMaximized() ? QByteArrayLiteral("1") : QByteArrayLiteral("0"));
    QMainWindow::closeEvent(event);
}

void MainWindow::openOddsOfFocusedStep()
{
    const int step = m_board->focusedStep();
    m_board->odds()->openOdds(step > 0 ? step : 1);
}

void MainWindow::showKeys()
{
    // Plain lines, each a sentence of its own: a screen reader reads a rich
    // text table's cells as one run, or not at all (Orca 43).
    QMessageBox::information(this, tr("Tasten"),
        tr("Ziffern: eine Stufe wählen, 1 4 ist Stufe 14.\n"
           "Leertaste, Eingabe: die gewählte Stufe würfeln.\n"
           "Plus und Minus: Karma höher oder niedriger.\n"
           "Pfeiltasten: über das Brett.\n"
           "Escape: zurück zum Brett.\n"
           "Strg+C: den letzten Wurf kopieren.\n"
           "Strg+T: die Talente öffnen, schließen.\n"
           "Strg+N: in den Talenten ein Talent hinzufügen.\n"
           "Strg+H: den Verlauf öffnen, schließen.\n"
           "Pos1 im Verlauf: zum neuesten Wurf.\n"
           "Strg+K: die Chancen der gewählten Stufe.\n"
           "Strg+S: den Verlauf speichern.\n"
           "F10: das Menü.\n"
           "Umschalt+F10: das Kontextmenü.\n"
           "Strg+Q: Velmora beenden."));
}

void MainWindow::showAbout()
{
    QMessageBox::about(this, tr("Über Velmora"),
        tr("Velmora %1\n\nWürfelt jede Stufe von 1 bis 40, mit Karma, und hält jeden Wurf fest.")
            .arg(QApplication::applicationVersion()));
}

} // namespace velmora
