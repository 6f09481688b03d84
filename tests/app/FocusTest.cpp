#include "WindowRig.h"

#include "app/log/LookBackBar.h"
#include "app/log/RollLogView.h"
#include "app/talents/TalentsView.h"
#include "talents/Roster.h"

#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDockWidget>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStandardPaths>
#include <QTabBar>
#include <QTableView>
#include <QTableWidget>
#include <QTimer>

#include <gtest/gtest.h>

#include <vector>

namespace velmora {
namespace {

using fixtures::WindowRig;

struct Key {
    Qt::Key key;
    Qt::KeyboardModifiers modifiers = Qt::NoModifier;
};

// Where a person's keys go: to the popup menu that is open, else to the focus.
QWidget* keyTarget()
{
    QWidget* popup = QApplication::activePopupWidget();
    return popup != nullptr ? popup : QApplication::focusWidget();
}

void type(const std::vector<Key>& keys)
{
    for (const Key& k : keys) {
        QWidget* target = keyTarget();
        ASSERT_NE(target, nullptr);
        QTest::keyClick(target, k.key, k.modifiers);
        QApplication::processEvents();
    }
}

void activate(WindowRig& rig)
{
    rig.window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&rig.window));
}

// Each way out of the menu bar gives the keys back to the control that had
// them: "1" "4" Space then rolls step 14, as it would have before F10.
TEST(Focus, LeavingTheMenuBarGivesTheKeysBack)
{
    const std::vector<std::vector<Key>> ways{
        {{Qt::Key_F10}, {Qt::Key_Escape}},
        {{Qt::Key_F10}, {Qt::Key_Down}, {Qt::Key_Escape}, {Qt::Key_Escape}},
        {{Qt::Key_F10}, {Qt::Key_F10}},
        {{Qt::Key_F10}, {Qt::Key_Down}, {Qt::Key_F10}},
        {{Qt::Key_F10}, {Qt::Key_Right}, {Qt::Key_Alt}},
        {{Qt::Key_F10}, {Qt::Key_Right}, {Qt::Key_Down}, {Qt::Key_Escape}, {Qt::Key_Escape}},
        // A menu's own entry that moves no focus: the keys come back too.
        {{Qt::Key_F10}, {Qt::Key_Right}, {Qt::Key_Down}, {Qt::Key_Return}},
    };
    for (std::size_t way = 0; way < ways.size(); ++way) {
        WindowRig rig;
        rig.source.repeatForever(1, 20);
        activate(rig);
        rig.karmaButton(2)->setFocus();
        type(ways[way]);
        EXPECT_EQ(QApplication::activePopupWidget(), nullptr) << "way " << way;
        EXPECT_EQ(QApplication::focusWidget(), rig.karmaButton(2)) << "way " << way;
        type({{Qt::Key_1}, {Qt::Key_4}, {Qt::Key_Space}});
        ASSERT_EQ(rig.session.log().size(), 1U) << "way " << way;
        EXPECT_EQ(rig.session.log().latest().roll.step, 14) << "way " << way;
        // Shift+F10 then opens the control's menu, and Escape closes it.
        type({{Qt::Key_F10, Qt::ShiftModifier}});
        EXPECT_NE(qobject_cast<QMenu*>(QApplication::activePopupWidget()), nullptr) << "way " << way;
        type({{Qt::Key_Escape}});
        EXPECT_EQ(QApplication::focusWidget(), rig.step(14)) << "way " << way;
    }
}

// An entry that opens a dialog: once it is answered, the keys are the
// board's again, not the menu bar's, where Qt gives the focus back.
TEST(Focus, AMenuEntrysDialogGivesTheKeysBackWhenItCloses)
{
    QStandardPaths::setTestModeEnabled(true);
    WindowRig rig;
    rig.source.repeatForever(1, 20);
    activate(rig);
    rig.step(9)->setFocus();
    type({{Qt::Key_Space}, {Qt::Key_F10}, {Qt::Key_Right}});
    int asked = 0;
    QTimer::singleShot(0, [&asked] {
        if (auto* question = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            ++asked;
            question->reject();
        }
    });
    // "Verlauf leeren" in "Bearbeiten", by its mnemonic.
    type({{Qt::Key_L}});
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(QApplication::focusWidget(), rig.step(9));
    type({{Qt::Key_Space}});
    EXPECT_EQ(rig.session.log().size(), 2U);
}

// The menus under the titles come just after the first frame; the keys of
// their entries, and F10, work before.
TEST(Focus, TheKeysWorkBeforeTheMenusAreMade)
{
    const struct {
        Key key;
        const char* reaches;
    } keys[] = {{{Qt::Key_T, Qt::ControlModifier}, "talentsDock"}, {{Qt::Key_Q, Qt::ControlModifier}, "closed"},
        {{Qt::Key_F10}, "menu bar"}};
    for (const auto& k : keys) {
        fixtures::ScriptedSource source;
        fixtures::FrozenClock clock;
        Session session{source, clock};
        MainWindow window{session};
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
        ASSERT_EQ(window.menuBar()->actions().front()->menu(), nullptr) << "the menus came too soon to tell";
        window.board()->findChild<QPushButton*>(QStringLiteral("Command5"))->setFocus();
        type({k.key});
        const QString reaches = QString::fromLatin1(k.reaches);
        if (reaches == QStringLiteral("menu bar")) {
            EXPECT_EQ(QApplication::focusWidget(), window.menuBar());
        } else if (reaches == QStringLiteral("closed")) {
            EXPECT_FALSE(window.isVisible());
        } else {
            const auto* dock = window.findChild<QDockWidget*>(reaches);
            ASSERT_NE(dock, nullptr) << k.reaches;
            EXPECT_TRUE(dock->isVisible()) << k.reaches;
        }
    }
}

// A screen reader says a menu's name as the keys reach it; Qt gives it the
// menu's window title, which is empty.
TEST(Focus, EveryMenuOfTheBarIsNamedForAScreenReader)
{
    WindowRig rig;
    QStringList names;
    for (QAction* title : rig.window.menuBar()->actions()) {
        QAccessibleInterface* menu = QAccessible::queryAccessibleInterface(title->menu());
        ASSERT_NE(menu, nullptr);
        names << menu->text(QAccessible::Name);
    }
    EXPECT_EQ(names.join(QLatin1Char('|')), QStringLiteral("Datei|Bearbeiten|Ansicht|Hilfe"));
}

// From a dock, the menu bar gives the keys back to the dock, not the board.
TEST(Focus, LeavingTheMenuBarReturnsToTheDockThatHadTheKeys)
{
    QStandardPaths::setTestModeEnabled(true);
    WindowRig rig;
    activate(rig);
    rig.step(4)->setFocus();
    rig.window.showTalents();
    QWidget* inDock = QApplication::focusWidget();
    ASSERT_TRUE(rig.window.talentsDock()->isAncestorOf(inDock));
    type({{Qt::Key_F10}, {Qt::Key_Escape}});
    EXPECT_EQ(QApplication::focusWidget(), inDock);
    // The same where the toolkit took the bar itself, as its style does for
    // Alt alone, and now and then for Alt and a dock button's letter.
    rig.window.menuBar()->setFocus(Qt::ShortcutFocusReason);
    ASSERT_EQ(QApplication::focusWidget(), rig.window.menuBar());
    type({{Qt::Key_Escape}});
    EXPECT_EQ(QApplication::focusWidget(), inDock);
}

// Left and Right open the neighbouring menu with none of its entries
// chosen, as F10 opens the first: a screen reader says the menu's title.
TEST(Focus, LeftAndRightOpenTheNeighbouringMenuOnItsTitle)
{
    WindowRig rig;
    activate(rig);
    rig.step(2)->setFocus();
    type({{Qt::Key_F10}});
    const struct {
        Qt::Key key;
        const char* menu;
    } moves[] = {{Qt::Key_Right, "Bearbeiten"}, {Qt::Key_Right, "Ansicht"}, {Qt::Key_Left, "Bearbeiten"},
        {Qt::Key_Left, "Datei"}, {Qt::Key_Left, "Hilfe"}, {Qt::Key_Right, "Datei"}};
    for (const auto& move : moves) {
        type({{move.key}});
        auto* open = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_NE(open, nullptr) << move.menu;
        EXPECT_EQ(open->accessibleName(), QString::fromLatin1(move.menu));
        EXPECT_EQ(open->activeAction(), nullptr) << move.menu;
    }
    type({{Qt::Key_Down}});
    ASSERT_NE(qobject_cast<QMenu*>(QApplication::activePopupWidget()), nullptr);
    EXPECT_NE(qobject_cast<QMenu*>(QApplication::activePopupWidget())->activeAction(), nullptr);
    type({{Qt::Key_Escape}});
    EXPECT_EQ(QApplication::focusWidget(), rig.step(2));
}

// Escape from anything in a dock, its tab bar too, goes back to the board,
// where the typed digits then choose a step.
TEST(Focus, EscapeFromAnywhereInADockGoesBackToTheBoard)
{
    QStandardPaths::setTestModeEnabled(true);
    WindowRig rig;
    activate(rig);
    rig.step(7)->setFocus();
    rig.window.showTalents();
    rig.window.showLog();
    const auto inDock = [&](QDockWidget* dock) {
        std::vector<QWidget*> found;
        for (QWidget* widget : dock->findChildren<QWidget*>()) {
            // A field that hands its focus to another, as an editable list's text does, is that one.
            if (widget->focusPolicy() != Qt::NoFocus && widget->focusProxy() == nullptr && widget->isVisibleTo(dock)
                && widget->isEnabled()) {
                found.push_back(widget);
            }
        }
        return found;
    };
    rig.window.talentsDock()->raise(); // each dock's controls, shown
    std::vector<QWidget*> places = inDock(rig.window.talentsDock());
    rig.window.logDock()->raise();
    for (QWidget* widget : inDock(rig.window.logDock())) {
        places.push_back(widget);
    }
    // The tabs of the two docks stacked as one.
    for (QTabBar* tabs : rig.window.findChildren<QTabBar*>(Qt::FindDirectChildrenOnly)) {
        if (tabs->isVisible()) {
            places.push_back(tabs);
        }
    }
    ASSERT_GE(places.size(), 6U);
    for (QWidget* place : places) {
        rig.window.showTalents(); // a closed dock's tab is raised again
        // Behind the other dock's tab, its controls take no focus.
        const auto reachable = [place] { return place->isVisible() && place->isEnabled(); };
        if (!reachable()) {
            rig.window.showLog();
        }
        if (!reachable()) {
            continue;
        }
        place->setFocus(Qt::TabFocusReason);
        ASSERT_EQ(QApplication::focusWidget(), place) << place->metaObject()->className();
        type({{Qt::Key_Escape}});
        EXPECT_EQ(QApplication::focusWidget(), rig.step(7))
            << place->metaObject()->className() << " " << place->objectName().toStdString();
        type({{Qt::Key_2}, {Qt::Key_3}});
        EXPECT_EQ(QApplication::focusWidget(), rig.step(23)) << place->metaObject()->className();
        rig.step(7)->setFocus();
    }
}

// A click on the board where no control is takes the keys to the board.
TEST(Focus, AClickOnTheBoardsEmptySpaceTakesTheKeysThere)
{
    QStandardPaths::setTestModeEnabled(true);
    WindowRig rig;
    activate(rig);
    rig.step(3)->setFocus();
    rig.window.showTalents();
    ASSERT_TRUE(rig.window.talentsDock()->isAncestorOf(QApplication::focusWidget()));
    // Beneath the controls, in the band.
    QWidget* board = rig.window.board();
    const QPoint empty(board->width() / 2, board->height() - 5);
    QWidget* under = board->childAt(empty);
    ASSERT_TRUE(under == nullptr || qobject_cast<QAbstractButton*>(under) == nullptr);
    QTest::mouseClick(
        under != nullptr ? under : board, Qt::LeftButton, {}, under != nullptr ? under->mapFrom(board, empty) : empty);
    EXPECT_EQ(QApplication::focusWidget(), rig.step(3));
    rig.source.repeatForever(1, 20);
    type({{Qt::Key_Space}});
    ASSERT_EQ(rig.session.log().size(), 1U);
    EXPECT_EQ(rig.session.log().latest().roll.step, 3);
}

// A key let go while another program had the keyboard never comes back
// as a release: pressed again here, it is a new press.
TEST(Focus, AKeyHeldWhenAnotherProgramTookTheKeyboardIsForgotten)
{
    WindowRig rig;
    rig.source.repeatForever(1, 20);
    activate(rig);
    rig.step(5)->setFocus();
    QTest::keyPress(rig.step(5), Qt::Key_Space);
    QTest::keyPress(rig.step(5), Qt::Key_Space); // held: no second roll
    ASSERT_EQ(rig.session.log().size(), 1U);
    QApplicationStateChangeEvent away(Qt::ApplicationInactive);
    QCoreApplication::sendEvent(QCoreApplication::instance(), &away);
    QApplicationStateChangeEvent back(Qt::ApplicationActive);
    QCoreApplication::sendEvent(QCoreApplication::instance(), &back);
    QTest::keyPress(rig.step(5), Qt::Key_Space);
    QTest::keyRelease(rig.step(5), Qt::Key_Space);
    EXPECT_EQ(rig.session.log().size(), 2U);
}

// A dialog's key acts each time it is pressed. The talents' keys open their
// dialog as the key is let go; Return on a button opens it on the press,
// and its release goes to the dialog: either way the next press acts.
TEST(Focus, ADialogsKeyActsAgainAfterItsDialogClosed)
{
    QStandardPaths::setTestModeEnabled(true);
    WindowRig rig;
    ASSERT_FALSE(rig.session.keeper().changeTalents([](Roster& roster) {
        if (Refusal refusal = roster.addCharacter("Mira")) {
            return refusal;
        }
        return roster.addTalent(0, "Wahrnehmung", 9);
    }));
    activate(rig);
    rig.window.showTalents();
    auto* table = rig.window.talentsView()->findChild<QTableWidget*>(QStringLiteral("talentTable"));
    ASSERT_NE(table, nullptr);
    QPushButton* add = nullptr;
    for (QPushButton* button : rig.window.talentsView()->findChildren<QPushButton*>()) {
        add = button->text().startsWith(QStringLiteral("Talent hin")) ? button : add;
    }
    ASSERT_NE(add, nullptr);
    const struct {
        QWidget* on;
        Key key;
    } keys[] = {{table, {Qt::Key_F2}}, {table, {Qt::Key_Delete}}, {table, {Qt::Key_Insert}},
        {table, {Qt::Key_N, Qt::ControlModifier}}, {add, {Qt::Key_Return}}};
    for (const auto& [on, k] : keys) {
        int opened = 0;
        int escapeKept = 0;
        for (int round = 0; round < 2; ++round) {
            on->setFocus();
            table->selectRow(0);
            const auto answer = [&opened, &escapeKept, k] {
                if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
                    ++opened;
                    QTest::keyRelease(dialog, k.key, k.modifiers);
                    // A dialog opened from a dock is no part of it: Escape closes it.
                    dialog->activateWindow();
                    EXPECT_TRUE(QTest::qWaitForWindowActive(dialog));
                    QTest::keyClick(dialog->focusWidget() != nullptr ? dialog->focusWidget() : dialog, Qt::Key_Escape);
                    if (dialog->isVisible()) {
                        ++escapeKept;
                        dialog->reject();
                    }
                }
            };
            if (on == table) {
                // Let go where it was pressed: the dialog opens then.
                QTest::keyPress(on, k.key, k.modifiers);
                QTimer::singleShot(0, answer);
                QTest::keyRelease(on, k.key, k.modifiers);
            } else {
                // Opened by the press; let go in the dialog.
                QTimer::singleShot(0, answer);
                QTest::keyPress(on, k.key, k.modifiers);
            }
            QApplication::processEvents();
        }
        EXPECT_EQ(opened, 2) << "key " << k.key;
        EXPECT_EQ(escapeKept, 0) << "key " << k.key;
    }
    // A release that goes elsewhere, as to a screen reader that kept it:
    // the dialog opens all the same, a moment later.
    int late = 0;
    QTimer answerer;
    QObject::connect(&answerer, &QTimer::timeout, [&late] {
        if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            ++late;
            dialog->reject();
        }
    });
    answerer.start(20);
    table->setFocus();
    table->selectRow(0);
    QTest::keyPress(table, Qt::Key_F2);
    QTest::keyRelease(rig.step(1), Qt::Key_F2);
    EXPECT_TRUE(QTest::qWaitFor([&late] { return late == 1; }, 3000));
    answerer.stop();
    // A plain "n" finds a talent by its name, and opens nothing.
    int stray = 0;
    QTimer::singleShot(0, [&stray] {
        if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            ++stray;
            dialog->reject();
        }
    });
    table->setFocus();
    QTest::keyClick(table, Qt::Key_N);
    QApplication::processEvents();
    EXPECT_EQ(stray, 0);
}

} // namespace
} // namespace velmora

namespace velmora {
namespace {

// Escape that closes a list in a dock closes the list only, as X delivers
// it: the popup closes as the key is checked for shortcuts, and the press
// then reaches the list's field.
TEST(Focus, EscapeThatClosesAListInADockKeepsTheFocusThere)
{
    fixtures::forgetKept();
    WindowRig rig;
    activate(rig);
    rig.window.showLog();
    QComboBox* evening = rig.window.logView()->lookBack()->evening();
    evening->setFocus();
    QTest::keyClick(evening, Qt::Key_Down, Qt::AltModifier);
    QWidget* popup = QApplication::activePopupWidget();
    ASSERT_NE(popup, nullptr);
    QKeyEvent check(QEvent::ShortcutOverride, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(popup, &check);
    evening->hidePopup();
    evening->setFocus(); // offscreen, a closed popup leaves no window active
    QTest::keyClick(evening, Qt::Key_Escape);
    EXPECT_EQ(QApplication::focusWidget(), evening);
    // The next Escape goes back to the board, as from anywhere in a dock.
    QTest::keyClick(evening, Qt::Key_Escape);
    EXPECT_TRUE(rig.window.board()->isAncestorOf(QApplication::focusWidget()));
}

} // namespace
} // namespace velmora
