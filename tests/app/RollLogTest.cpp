#include "app/WindowRig.h"
#include "app/log/RollLogWindow.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QListWidget>
#include <QScreen>
#include <QStandardPaths>

#include <gtest/gtest.h>

namespace velmora {
namespace {

using fixtures::WindowRig;

void focus(WindowRig& rig, QWidget* widget)
{
    rig.window.activateWindow();
    widget->setFocus();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&rig.window));
}

TEST(RollLog, CtrlCCopiesTheLatestRollWhateverHasTheFocusAndNothingBeforeTheFirst)
{
    WindowRig rig;
    focus(rig, rig.karmaButton(2));
    QApplication::clipboard()->setText(QStringLiteral("left alone"));
    QTest::keyClick(rig.karmaButton(2), Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("left alone"));

    QTest::keyClick(rig.karmaButton(2), Qt::Key_Space);
    rig.source.push(6, 6);
    rig.source.push(1, 6);
    rig.source.push(3, 6);
    rig.source.push(2, 6);
    rig.click(rig.step(8));
    QTest::keyClick(rig.karmaButton(2), Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(),
        QStringLiteral("Stufe 08, Karma +6\nEin D6 wird gewürfelt: 6\nNeuer Wurf!\nEin D6 wird gewürfelt: 1\n"
                       "Ein D6 wird gewürfelt: 3\nKarma +6!\nEin D6 wird gewürfelt: 2\nDie Summe lautet: 12"));
}

TEST(RollLog, CtrlHShowsTheRollsNewestFirstAndEscapeGivesTheFocusBack)
{
    WindowRig rig;
    for (const int face : {2, 3}) {
        rig.source.push(face, 4);
        rig.click(rig.step(3));
    }
    focus(rig, rig.step(17));
    QTest::keyClick(rig.step(17), Qt::Key_H, Qt::ControlModifier);
    RollLogWindow* log = rig.window.logWindow();
    ASSERT_NE(log, nullptr);
    // Not qWaitForWindowActive: a window counts as active already while
    // the main window, its transient parent, is.
    ASSERT_TRUE(QTest::qWaitFor([log] { return QApplication::activeWindow() == log; }));
    EXPECT_EQ(log->windowTitle(), QStringLiteral("Velmora - Verlauf"));
    QListWidget* list = log->list();
    ASSERT_EQ(list->count(), 2);
    EXPECT_TRUE(list->item(0)->text().endsWith(QStringLiteral(" Stufe 03 · D4 3 · Summe 3")));
    EXPECT_EQ(QApplication::focusWidget(), list);
    EXPECT_EQ(list->currentRow(), 0);

    // It follows the rolls while open; the newest stays the current one.
    rig.source.push(1, 4);
    rig.step(3)->click();
    ASSERT_EQ(list->count(), 3);
    EXPECT_TRUE(list->item(0)->text().endsWith(QStringLiteral("· Patzer!")));
    EXPECT_EQ(list->currentRow(), 0);
    // Heard once, in words: not the band's lines after the shown line.
    EXPECT_TRUE(
        list->item(0)->data(Qt::AccessibleTextRole).toString().startsWith(QStringLiteral("Stufe 03, Patzer! ")));
    EXPECT_EQ(list->item(0)->data(Qt::AccessibleDescriptionRole).toString(), QStringLiteral("D4 1."));

    list->selectAll();
    QTest::keyClick(list, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(),
        QStringLiteral("Stufe 03\nEin D4 wird gewürfelt: 1\nPatzer!\n\n"
                       "Stufe 03\nEin D4 wird gewürfelt: 3\nDie Summe lautet: 3\n\n"
                       "Stufe 03\nEin D4 wird gewürfelt: 2\nDie Summe lautet: 2"));

    QTest::keyClick(list, Qt::Key_Escape);
    EXPECT_FALSE(log->isVisible());
    ASSERT_TRUE(QTest::qWaitFor([&rig] { return QApplication::activeWindow() == &rig.window; }));
    EXPECT_EQ(QApplication::focusWidget(), rig.step(17));
}

// Open while the log passes its bound, the window drops the oldest roll as
// the log does, and keeps the newest first.
TEST(RollLog, TheOpenWindowKeepsWhatTheLogKeeps)
{
    WindowRig rig;
    rig.source.push(1, 4);
    rig.click(rig.step(3)); // the one that goes: "Patzer!"
    rig.window.showLog();
    QListWidget* list = rig.window.logWindow()->list();
    rig.source.repeatForever(2, 4);
    for (int i = 0; i < 1000; ++i) {
        rig.step(3)->click();
    }
    ASSERT_EQ(list->count(), 1000);
    for (const int row : {0, 999}) {
        EXPECT_TRUE(list->item(row)->text().endsWith(QStringLiteral("· Summe 2"))) << row;
    }
}

// Beside the main window where the screen has room, after it or before it,
// else wherever it fits; always wholly on the screen, never larger.
TEST(RollLog, OpensWhollyOnTheScreenBesideTheWindow)
{
    struct Case {
        const char* where;
        int mainX; // from the screen's left, or from its right where negative
        bool after;
    };
    for (const Case& c : {Case{"left edge", 0, true}, Case{"right edge", -1, false}, Case{"middle", 200, true}}) {
        WindowRig rig;
        const QRect area = rig.window.screen()->availableGeometry();
        const int x = c.mainX >= 0 ? area.left() + c.mainX : area.right() + 1 - rig.window.frameGeometry().width();
        rig.window.move(x, area.top());
        rig.window.showLog();
        RollLogWindow* log = rig.window.logWindow();
        const QRect frame = log->frameGeometry();
        EXPECT_TRUE(area.contains(frame))
            << c.where << ": " << frame.x() << "," << frame.y() << " " << frame.width() << "x" << frame.height();
        if (area.width() >= rig.window.frameGeometry().width() + frame.width() + 8) {
            EXPECT_EQ(frame.left() > rig.window.frameGeometry().right(), c.after) << c.where;
        }
        log->close();
        // Larger than the screen: no larger than its area.
        log->resize(area.size() * 2);
        rig.window.showLog();
        EXPECT_TRUE(area.contains(log->frameGeometry())) << c.where << " when too large";
        log->close();
    }
}

// The log outlives the window: each roll written as it is shown, read back
// by the next window after its first frame, and emptied on request there
// and in the database.
TEST(RollLog, TheRollsOfTheLastRunAreBackAndVerlaufLeerenEmptiesThem)
{
    QStandardPaths::setTestModeEnabled(true); // never the user's own log
    const QString database = Database::userPaths().database;
    QFile::remove(database);
    std::vector<std::uint64_t> ids;
    {
        WindowRig rig;
        rig.source.repeatForever(2, 4);
        rig.click(rig.step(3)); // before the database is open: written once it is
        rig.window.restoreKept();
        rig.window.rollTalent("Arven", "Wahrnehmung", 9);
        ids = {rig.window.log()[0].id, rig.window.log()[1].id};
    } // and closed at once
    {
        WindowRig next;
        next.window.restoreKept();
        ASSERT_TRUE(QTest::qWaitFor([&] { return next.window.keeper().loaded(); }));
        ASSERT_EQ(next.window.log().size(), 2U);
        EXPECT_EQ((std::vector<std::uint64_t>{next.window.log()[0].id, next.window.log()[1].id}), ids);
        EXPECT_EQ(next.window.log()[1].roll.talent, "Wahrnehmung");
        EXPECT_EQ(next.window.log()[1].roll.character, "Arven");
        EXPECT_EQ(next.window.log()[1].roll.step, 9);

        next.window.clearLog();
        EXPECT_EQ(next.window.log().size(), 0U);
    }
    WindowRig third;
    third.window.restoreKept();
    ASSERT_TRUE(QTest::qWaitFor([&] { return third.window.keeper().loaded(); }));
    EXPECT_EQ(third.window.log().size(), 0U);
}

} // namespace
} // namespace velmora
