#include "WindowRig.h"

#include "app/log/RollLogView.h"
#include "app/odds/OddsWindow.h"
#include "app/odds/StepOddsHook.h"
#include "app/store/Database.h"
#include "app/talents/TalentsView.h"
#include "app/window/Board.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDockWidget>
#include <QFile>
#include <QHeaderView>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStandardPaths>
#include <QTableView>
#include <QTableWidget>

#include <gtest/gtest.h>

namespace velmora {
namespace {

using fixtures::WindowRig;

// Each side window opens wholly on the screen, and every part of it
// follows the font: on the offscreen screen that the run sets up, and with
// every font at VELMORA_STYLE_POINTS where that is set (60, say).
TEST(SideWindows, OpenWhollyOnTheScreenAndFollowTheFont)
{
    QStandardPaths::setTestModeEnabled(true);
    const int points = qEnvironmentVariableIntValue("VELMORA_STYLE_POINTS");
    if (points > 0) {
        qApp->setStyleSheet(QStringLiteral("* { font-size: %1pt; }").arg(points));
    }
    {
        WindowRig rig;
        ASSERT_FALSE(rig.session.keeper().changeTalents([](Roster& roster) {
            const Refusal refusal = roster.addCharacter("Arven");
            return refusal ? refusal : roster.addTalent(0, "Schwertkampf", 14);
        }));
        const QRect area = rig.window.screen()->availableGeometry();
        // Sums as wide as they come: step 40 with karma, a talent's long name.
        rig.source.repeatForever(20, 20);
        rig.session.clickKarma(4);
        for (int i = 0; i < 3; ++i) {
            rig.session.rollStep(40);
        }
        rig.source.repeatForever(3, 20);
        rig.session.rollTalent("Arven", "Schwertkampf mit zwei Klingen im Dunkeln", 40);
        rig.window.showLog();
        rig.window.showTalents();
        QApplication::processEvents();
        // Beside the board: it keeps its size, and every step stays in sight.
        EXPECT_EQ(rig.window.board()->width(), Board::designSize().width());
        EXPECT_GE(rig.window.board()->height(), Board::designSize().height());
        for (QDockWidget* dock : {rig.window.logDock(), rig.window.talentsDock()}) {
            ASSERT_TRUE(dock->isVisible());
            const QRect docked(dock->mapToGlobal(QPoint(0, 0)), dock->size());
            for (int step = 1; step <= 40; ++step) {
                EXPECT_FALSE(
                    docked.intersects(QRect(rig.step(step)->mapToGlobal(QPoint(0, 0)), rig.step(step)->size())))
                    << dock->objectName().toStdString() << " over Stufe " << step;
            }
        }
        // Every sum in view whole, within the table's view at its width; the
        // rows as high as their text.
        QTableView* log = rig.window.logView()->table();
        ASSERT_EQ(log->model()->rowCount(), 4);
        EXPECT_GE(log->rowHeight(0), log->fontMetrics().height());
        for (int row = 0; row < log->model()->rowCount(); ++row) {
            const QModelIndex sum = log->model()->index(row, RollLogView::Result);
            const QRect cell = log->visualRect(sum);
            if (!log->viewport()->rect().intersects(cell)) {
                continue; // whole once scrolled to: RollLog.AWideResultFarDownIsWholeOnceScrolledTo
            }
            EXPECT_GE(cell.width(), log->fontMetrics().horizontalAdvance(sum.data().toString()))
                << sum.data().toString().toStdString();
            EXPECT_LE(cell.right(), log->viewport()->width()) << sum.data().toString().toStdString() << " ends at "
                                                              << cell.right() << " of " << log->viewport()->width();
        }
        rig.session.clickKarma(kResetButton);
        auto* hook = rig.window.findChild<StepOddsHook*>();
        ASSERT_NE(hook, nullptr);
        hook->openOdds(40);
        QApplication::processEvents();
        // Beside the board, narrower where it must be and can be: the board stays in sight.
        const QRect board(rig.window.board()->mapToGlobal(QPoint(0, 0)), rig.window.board()->size());
        const int beside = std::max(area.right() - board.right(), board.left() - area.left()) - 8;
        if (beside >= hook->window()->minimumSizeHint().width()) {
            EXPECT_FALSE(hook->window()->frameGeometry().intersects(board))
                << "the odds window covers the board, with " << beside << " px beside it";
        }
        const QList<QWidget*> windows{&rig.window, hook->window()};
        for (QWidget* side : windows) {
            ASSERT_NE(side, nullptr);
            EXPECT_TRUE(area.contains(side->frameGeometry()))
                << side->windowTitle().toStdString() << ": " << side->frameGeometry().width() << "x"
                << side->frameGeometry().height() << " on " << area.width() << "x" << area.height();
            EXPECT_LE(side->minimumSizeHint().width(), area.width()) << side->windowTitle().toStdString();
            // Rows that wrap keep every button whole inside the window, none over another.
            QList<QRect> taken;
            for (const QPushButton* button : side->findChildren<QPushButton*>()) {
                if (!button->isVisibleTo(side) || button->window() != side) {
                    continue;
                }
                const QRect at(button->mapTo(side, QPoint(0, 0)), button->size());
                // What scrolls in a dock is whole once scrolled to.
                bool scrolls = false;
                for (const QWidget* above = button->parentWidget(); above != side && above != nullptr;
                     above = above->parentWidget()) {
                    scrolls = scrolls || qobject_cast<const QScrollArea*>(above) != nullptr;
                }
                EXPECT_TRUE(scrolls || side->rect().contains(at))
                    << side->windowTitle().toStdString() << ": '" << button->text().toStdString() << "'";
                for (const QRect& other : taken) {
                    EXPECT_FALSE(other.intersects(at)) << "'" << button->text().toStdString() << "' lies over another";
                }
                taken << at;
            }
        }
        // The chosen column and its header in the table's font, made bold.
        QTableView* table = hook->window()->table();
        const QFont chosen = table->model()->index(0, 1).data(Qt::FontRole).value<QFont>();
        EXPECT_EQ(chosen.pointSizeF(), table->font().pointSizeF());
        if (points > 0) {
            EXPECT_EQ(table->font().pointSizeF(), points);
        }
        EXPECT_TRUE(chosen.bold());
        const QFont header = table->model()->headerData(1, Qt::Horizontal, Qt::FontRole).value<QFont>();
        EXPECT_EQ(header.pointSizeF(), table->font().pointSizeF());
        // Rows as high as their text.
        EXPECT_GE(table->verticalHeader()->defaultSectionSize(), table->fontMetrics().height());
        QTableView* talents = rig.window.talentsView()->findChild<QTableView*>();
        ASSERT_NE(talents, nullptr);
        ASSERT_EQ(talents->model()->rowCount(), 1);
        EXPECT_GE(talents->rowHeight(0), talents->fontMetrics().height());
    }
    qApp->setStyleSheet(QString());
}

// The window active, what earlier runs kept asked for.
void activeWithKept(WindowRig& rig)
{
    rig.window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&rig.window));
    rig.window.restoreKept();
}

// At the first start the docks, made after the first frame, stay closed and
// leave the focus on the board.
TEST(SideWindows, TheFirstStartShowsTheBoardAloneWithItsFocus)
{
    fixtures::forgetKept();
    WindowRig rig;
    activeWithKept(rig);
    ASSERT_TRUE(QTest::qWaitFor([&] { return rig.session.keeper().loaded(); }));
    QApplication::processEvents();
    EXPECT_FALSE(rig.window.talentsDock()->isVisible());
    EXPECT_FALSE(rig.window.logDock()->isVisible());
    EXPECT_EQ(rig.window.width(), Board::designSize().width());
    EXPECT_EQ(QApplication::focusWidget(), rig.step(1));
}

// Closed with its docks open and left where no screen is now, the window
// comes back at the next start with its docks and sizes as left, wholly on
// a screen that exists.
TEST(SideWindows, TheLayoutComesBackAsLeftOnAScreenThatExists)
{
    fixtures::forgetKept();
    QSize left;
    {
        WindowRig rig;
        rig.window.restoreKept();
        rig.window.showTalents();
        rig.window.talentsDock()->setFloating(true);
        rig.window.showLog();
        QApplication::processEvents();
        left = rig.window.size();
        const QRect area = rig.window.screen()->availableGeometry();
        rig.window.move(area.right() + 2000, area.bottom() + 2000);
        rig.window.talentsDock()->move(area.left() - 3000, area.top());
        EXPECT_TRUE(rig.window.close());
    }
    WindowRig next;
    next.window.restoreKept();
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return next.window.logDock() != nullptr && next.window.logDock()->isVisible(); }));
    QApplication::processEvents();
    const QRect area = next.window.screen()->availableGeometry();
    EXPECT_EQ(next.window.size(), left);
    EXPECT_TRUE(area.contains(next.window.frameGeometry()));
    QDockWidget* talents = next.window.talentsDock();
    EXPECT_TRUE(talents->isVisible() && talents->isFloating());
    EXPECT_TRUE(area.contains(talents->frameGeometry()))
        << talents->frameGeometry().x() << "," << talents->frameGeometry().y();
}

// The board keeps its size however wide the window: the room beyond it goes
// to the dock beside it, and comes back to the window once the dock closes.
TEST(SideWindows, TheRoomBeyondTheBoardIsTheDocks)
{
    fixtures::forgetKept();
    WindowRig rig;
    activeWithKept(rig);
    const QSize board = rig.window.board()->size();
    rig.window.showLog();
    QApplication::processEvents();
    QDockWidget* log = rig.window.logDock();
    ASSERT_TRUE(log->isVisible());
    const int docked = log->width();
    const int room = rig.window.screen()->availableGeometry().width() - rig.window.frameGeometry().width();
    if (room < 100) {
        GTEST_SKIP() << "no room to widen the window on this screen";
    }
    const int wider = std::min(room, 300);
    rig.window.resize(rig.window.width() + wider, rig.window.height());
    QApplication::processEvents();
    EXPECT_EQ(rig.window.board()->size(), board);
    EXPECT_GE(log->width(), docked + wider - 10) << "the dock takes the room";
    rig.window.showLog(); // the focus is in it: it closes
    QApplication::processEvents();
    EXPECT_FALSE(log->isVisible());
    EXPECT_EQ(rig.window.width(), board.width()) << "the dock's room given back";
    EXPECT_EQ(rig.window.board()->size(), board);
}

// The copy carries the roll's luck only once the player asks for it, and
// the choice outlives the program.
TEST(SideWindows, TheCopyCarriesTheLuckOnlyWhenAskedAndTheChoiceIsKept)
{
    fixtures::forgetKept();
    const auto copied = [](WindowRig& rig) {
        rig.source.push(3, 4); // step 1, d4 - 2: sum 1, luck 1/4 + 1/4 + 1/8
        rig.click(rig.step(1));
        rig.window.board()->copyRoll();
        const QString text = QApplication::clipboard()->text();
        return text.left(text.indexOf(QLatin1Char('\n')));
    };
    const auto luckAction = [](WindowRig& rig) {
        for (QAction* a : rig.window.findChildren<QAction*>()) {
            if (a->text() == QStringLiteral("Kopie mit &Glück")) {
                return a;
            }
        }
        return static_cast<QAction*>(nullptr);
    };
    {
        WindowRig rig;
        rig.window.restoreKept();
        ASSERT_TRUE(QTest::qWaitFor([&] { return rig.session.keeper().loaded(); }));
        EXPECT_EQ(copied(rig), QStringLiteral("Stufe 01"));
        QAction* luck = luckAction(rig);
        ASSERT_NE(luck, nullptr);
        EXPECT_FALSE(luck->isChecked());
        luck->trigger();
        EXPECT_EQ(copied(rig), QStringLiteral("Stufe 01, Glück 63 %"));
    }
    WindowRig next;
    next.window.restoreKept();
    ASSERT_TRUE(QTest::qWaitFor([&] { return luckAction(next)->isChecked(); }));
    EXPECT_EQ(copied(next), QStringLiteral("Stufe 01, Glück 63 %"));
}

// Docks tabbed together: Tab leads through the one shown, never through the
// controls of the one behind its tab.
TEST(SideWindows, TabPassesTheDockBehindTheOtherOnesTab)
{
    fixtures::forgetKept();
    WindowRig rig;
    activeWithKept(rig);
    rig.window.showTalents();
    rig.window.showLog();
    QApplication::processEvents();
    ASSERT_EQ(rig.window.tabifiedDockWidgets(rig.window.logDock()).size(), 1);
    for (const bool logShown : {true, false}) {
        QDockWidget* shown = logShown ? rig.window.logDock() : rig.window.talentsDock();
        QDockWidget* behind = logShown ? rig.window.talentsDock() : rig.window.logDock();
        shown->raise();
        QApplication::processEvents();
        rig.button(QStringLiteral("karmabutton5"))->setFocus(Qt::OtherFocusReason); // "Reset"
        bool reachedShown = false;
        for (int i = 0; i < 60; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QWidget* focus = QApplication::focusWidget();
            ASSERT_NE(focus, nullptr);
            EXPECT_FALSE(behind->isAncestorOf(focus))
                << focus->objectName().toStdString() << " behind " << shown->objectName().toStdString() << "'s tab";
            reachedShown = reachedShown || shown->isAncestorOf(focus);
        }
        EXPECT_TRUE(reachedShown) << shown->objectName().toStdString();
    }
}

// The odds window opens beside the window and its docks where the screen
// has room for it, else beside the board: neither covered where they can
// be spared.
TEST(SideWindows, TheOddsWindowCoversNeitherBoardNorDocksWhereThereIsRoom)
{
    fixtures::forgetKept();
    WindowRig rig;
    activeWithKept(rig);
    rig.window.showLog();
    QApplication::processEvents();
    rig.window.board()->odds()->openOdds(14);
    OddsWindow* odds = rig.window.board()->odds()->window();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(odds));
    QApplication::processEvents();
    const QRect area = rig.window.screen()->availableGeometry();
    const QRect main = rig.window.frameGeometry();
    const QRect board(rig.window.board()->mapToGlobal(QPoint(0, 0)), rig.window.board()->size());
    const int narrowest = odds->minimumSizeHint().width() + (odds->frameGeometry().width() - odds->width());
    const auto roomBeside = [&](const QRect& part) {
        return std::max(area.right() - part.right(), part.left() - area.left()) > narrowest + 8;
    };
    EXPECT_TRUE(area.contains(odds->frameGeometry()));
    if (roomBeside(main)) {
        EXPECT_FALSE(odds->frameGeometry().intersects(main)) << "over the docks";
    } else if (roomBeside(board)) {
        EXPECT_FALSE(odds->frameGeometry().intersects(board)) << "over the board";
    } else {
        GTEST_SKIP() << "no room beside the board on this screen";
    }
}

// A layout left on one screen and found on another: run_kept_layout.sh
// starts the program on one screen to leave it, then on the next, in the
// desktop's font at VELMORA_STYLE_POINTS where that is set.
void takeDesktopPoints()
{
    if (const int points = qEnvironmentVariableIntValue("VELMORA_STYLE_POINTS"); points > 0) {
        QFont font = QApplication::font();
        font.setPointSize(points);
        QApplication::setFont(font);
    }
}

TEST(KeptLayout, LeftAsAsked)
{
    const QByteArray how = qgetenv("VELMORA_LEAVE_LAYOUT");
    if (how.isEmpty()) {
        GTEST_SKIP() << "run by run_kept_layout.sh";
    }
    QStandardPaths::setTestModeEnabled(true);
    takeDesktopPoints();
    WindowRig rig;
    activeWithKept(rig);
    ASSERT_TRUE(QTest::qWaitFor([&] { return rig.session.keeper().loaded(); }));
    rig.window.showTalents();
    rig.window.showLog();
    QApplication::processEvents();
    if (how == "floating") {
        rig.window.talentsDock()->setFloating(true);
    } else if (how == "small") {
        rig.window.resize(rig.window.minimumSize());
    } else if (how == "large") {
        rig.window.resize(rig.window.screen()->availableGeometry().size() - QSize(20, 40));
    } else if (how == "maximized") {
        rig.window.showMaximized();
    }
    QApplication::processEvents();
    EXPECT_TRUE(rig.window.close());
}

TEST(KeptLayout, FoundFittedToThisScreen)
{
    const QByteArray how = qgetenv("VELMORA_FIND_LAYOUT");
    if (how.isEmpty()) {
        GTEST_SKIP() << "run by run_kept_layout.sh";
    }
    QStandardPaths::setTestModeEnabled(true);
    takeDesktopPoints();
    WindowRig rig;
    rig.window.restoreKept();
    ASSERT_TRUE(QTest::qWaitFor([&] { return rig.window.logDock() != nullptr && rig.window.logDock()->isVisible(); }));
    QApplication::processEvents();
    const QRect area = rig.window.screen()->availableGeometry();
    EXPECT_TRUE(area.contains(rig.window.frameGeometry()))
        << "window at " << rig.window.frameGeometry().x() << "," << rig.window.frameGeometry().y() << ", "
        << rig.window.frameGeometry().width() << " x " << rig.window.frameGeometry().height();
    EXPECT_EQ(rig.window.isMaximized(), how == "maximized");
    for (const QPushButton* button : rig.window.board()->findChildren<QPushButton*>()) {
        EXPECT_EQ(button->visibleRegion(), QRegion(button->rect())) << button->text().toStdString() << " cut";
        EXPECT_TRUE(area.contains(QRect(button->mapToGlobal(QPoint(0, 0)), button->size())))
            << button->text().toStdString() << " off the screen";
    }
    // Docks tabbed together share the width of the one shown.
    int docked = 0;
    for (QDockWidget* dock : {rig.window.talentsDock(), rig.window.logDock()}) {
        if (!dock->isFloating()) {
            docked = std::max(docked, dock->width());
        }
    }
    const int room = area.width() - (rig.window.frameGeometry().width() - rig.window.width());
    for (QDockWidget* dock : {rig.window.talentsDock(), rig.window.logDock()}) {
        const auto* scroll = static_cast<QScrollArea*>(dock->widget());
        const QWidget* content = scroll->widget();
        if (dock->isFloating()) {
            EXPECT_TRUE(area.contains(dock->frameGeometry())) << dock->objectName().toStdString();
        } else if (rig.window.board()->minimumSizeHint().width() + content->minimumSizeHint().width() + 20 <= room) {
            // Readable where the screen has the room beside the board.
            EXPECT_GE(docked, content->minimumSizeHint().width()) << dock->objectName().toStdString();
        }
        if (dock->isVisible() && dock->geometry().x() >= 0) {
            // Where it has not, it scrolls rather than cutting.
            EXPECT_TRUE(scroll->viewport()->width() >= content->minimumSizeHint().width()
                || scroll->horizontalScrollBar()->isVisible())
                << dock->objectName().toStdString();
        }
    }
}

} // namespace
} // namespace velmora
