#include "app/odds/OddsWindow.h"
#include "app/odds/OddsText.h"
#include "app/odds/StepOddsHook.h"
#include "odds/Odds.h"
#include "steps/StepTable.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QHelpEvent>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSpinBox>
#include <QTableView>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace velmora {
namespace {

QString cell(const QTableView* view, int row, int column)
{
    return view->model()->index(row, column).data().toString();
}

// The popup that a context menu request opened: its entries, and closed.
QStringList takeMenu(QAction** first)
{
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    if (menu == nullptr) {
        return {QStringLiteral("no menu")};
    }
    QStringList entries;
    for (const QAction* action : menu->actions()) {
        entries << (action->isSeparator() ? QStringLiteral("---") : action->text());
    }
    *first = menu->actions().front();
    menu->close();
    return entries;
}

// A few step buttons of our own, as the main window hands them over.
TEST(StepOddsHook, DescribesButtonsWhenAskedAndOpensOneOddsWindow)
{
    QWidget host;
    auto* layout = new QHBoxLayout(&host);
    QList<QPushButton*> buttons;
    for (const int step : {1, 14, 40}) {
        auto* button = new StepButton(stepCaption(step).c_str(), &host);
        button->setObjectName(QStringLiteral("Command%1").arg(step));
        layout->addWidget(button);
        buttons << button;
    }
    QPushButton* const step1 = buttons[0];
    QPushButton* const step14 = buttons[1];
    QPushButton* const step40 = buttons[2];
    // One of the window's own actions, which the step menu offers after its own.
    auto* log = new QAction(QStringLiteral("Verlauf"), &host);
    host.addAction(log);
    int karma = 0;
    const std::size_t computedBefore = sharedOdds().computed();
    // Before the window shows, as the main window installs it.
    StepOddsHook hook(
        buttons, [&karma] { return karma; }, &host);
    host.show();
    host.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&host));
    EXPECT_EQ(sharedOdds().computed(), computedBefore) << "computed before it was asked for";
    // Asked for before the button had the focus or its tooltip, as flat
    // review and braille ask: D20, D20, D12, D10 and D8, each exploding.
    EXPECT_EQ(QAccessible::queryAccessibleInterface(step40)->text(QAccessible::Description),
        QStringLiteral("D20 plus D20 plus D12 plus D10 plus D8, im Mittel 40,5"));

    for (QPushButton* button : {step14, step1}) {
        QHelpEvent hover(QEvent::ToolTip, QPoint(4, 4), button->mapToGlobal(QPoint(4, 4)));
        QApplication::sendEvent(button, &hover);
    }
    EXPECT_EQ(step14->toolTip(), QStringLiteral("D20 + D4 · im Mittel 14,4"));
    // Spoken, with nothing that a screen reader would name aloud.
    EXPECT_EQ(step14->accessibleDescription(), QStringLiteral("D20 plus D4, im Mittel 14,4"));
    EXPECT_EQ(step1->toolTip(), QStringLiteral("D4 − 2 · im Mittel 1,3"));
    karma = 2;
    hook.karmaChanged();
    EXPECT_EQ(step14->toolTip(), QStringLiteral("D20 + D4 · im Mittel 14,4 · mit Karma +6: 18,6"));
    EXPECT_EQ(QAccessible::queryAccessibleInterface(step1)->text(QAccessible::Description),
        QStringLiteral("D4 minus 2, im Mittel 1,3, mit Karma +6 im Mittel 5,5"));

    // Shift+F10 on the focused button, a right-click, the Menu key.
    QAction* open = nullptr;
    step14->setFocus(Qt::TabFocusReason);
    QTest::keyClick(step14, Qt::Key_F10, Qt::ShiftModifier);
    EXPECT_EQ(takeMenu(&open),
        (QStringList{QStringLiteral("Chancen für Stufe 14 …"), QStringLiteral("---"), QStringLiteral("Verlauf")}));
    ASSERT_NE(open, nullptr);
    open->trigger();
    OddsWindow* window = hook.window();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Velmora - Chancen"));
    EXPECT_EQ(window->heading()->text(), QStringLiteral("Chancen für Stufe 14"));
    EXPECT_TRUE(
        window->table()->horizontalHeader()->model()->headerData(3, Qt::Horizontal, Qt::FontRole).value<QFont>().bold())
        << "the chosen level's column is not marked";

    // What Qt makes of a right-click.
    QContextMenuEvent rightClick(QContextMenuEvent::Mouse, QPoint(4, 4), step40->mapToGlobal(QPoint(4, 4)));
    QApplication::sendEvent(step40, &rightClick);
    open = nullptr;
    EXPECT_EQ(takeMenu(&open).value(0), QStringLiteral("Chancen für Stufe 40 …"));
    ASSERT_NE(open, nullptr);
    open->trigger();
    EXPECT_EQ(hook.window(), window) << "a second odds window";
    EXPECT_EQ(window->heading()->text(), QStringLiteral("Chancen für Stufe 40"));
    EXPECT_EQ(cell(window->table(), 0, 1), QStringLiteral("> 99,9 %"));
    EXPECT_EQ(cell(window->summary(), 0, 0), QStringLiteral("< 0,1 %"));

    // What Qt makes of the Menu key on the focused button.
    QContextMenuEvent menuKey(QContextMenuEvent::Keyboard, QPoint(), QPoint());
    QApplication::sendEvent(step1, &menuKey);
    open = nullptr;
    EXPECT_EQ(takeMenu(&open).value(0), QStringLiteral("Chancen für Stufe 1 …"));

    // The step selector, by keyboard alone, without closing the window.
    QSpinBox* selector = window->stepSelector();
    selector->setFocus();
    QTest::keyClick(selector, Qt::Key_Down);
    EXPECT_EQ(window->heading()->text(), QStringLiteral("Chancen für Stufe 39"));
    EXPECT_EQ(cell(window->table(), 29, 1), QStringLiteral("78,7 %"));
    QTest::keyClick(selector, Qt::Key_Escape);
    EXPECT_FALSE(window->isVisible());
}

// Step 14 at karma +6, against the core's numbers and against figures worked
// out apart from the code, with exact fractions.
TEST(OddsWindow, TableShowsTheCoreNumbers)
{
    OddsWindow window;
    window.setChosenKarma(2);
    window.showStep(14);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    const QTableView* table = window.table();
    const QAbstractItemModel* model = table->model();

    const QStringList headers{QStringLiteral("Mindestwurf"), QStringLiteral("ohne Karma"), QStringLiteral("Karma +4"),
        QStringLiteral("Karma +6"), QStringLiteral("Karma +8"), QStringLiteral("Karma +10")};
    ASSERT_EQ(model->columnCount(), headers.size());
    for (int c = 0; c < headers.size(); ++c) {
        EXPECT_EQ(model->headerData(c, Qt::Horizontal).toString(), headers[c]);
    }
    // From 1 to the first minimum roll where every chance is below 0.1 %.
    ASSERT_EQ(model->rowCount(), 65);
    for (int row = 0; row < model->rowCount(); ++row) {
        EXPECT_EQ(cell(table, row, 0), QString::number(row + 1));
    }
    struct Literal {
        int n;
        int column;
        const char* text;
    };
    // 79/80 = 98.75 % lies exactly on a half and rounds up.
    for (const Literal& l :
        {Literal{1, 1, "98,8 %"}, Literal{10, 1, "70,9 %"}, Literal{10, 3, "86,9 %"}, Literal{15, 1, "46,5 %"},
            Literal{30, 3, "8,7 %"}, Literal{60, 1, "0,1 %"}, Literal{65, 1, "< 0,1 %"}, Literal{65, 5, "0,1 %"}}) {
        EXPECT_EQ(cell(table, l.n - 1, l.column), QString::fromUtf8(l.text)) << "N " << l.n;
    }

    const QTableView* summary = window.summary();
    EXPECT_EQ(summary->model()->headerData(0, Qt::Vertical).toString(), QStringLiteral("Patzer!"));
    EXPECT_EQ(summary->model()->headerData(1, Qt::Vertical).toString(), QStringLiteral("im Mittel"));
    EXPECT_EQ(cell(summary, 0, 2), QStringLiteral("0,2 %"));
    EXPECT_EQ(cell(summary, 1, 0), QStringLiteral("14,4"));
    EXPECT_EQ(cell(summary, 1, 2), QStringLiteral("18,6"));
    EXPECT_EQ(cell(summary, 1, 4), QStringLiteral("20,5"));
}

// However narrow the window, the chosen karma's column is in view whole, in
// the table and in the summary beneath it, as it is chosen and as the
// window narrows.
TEST(OddsWindow, TheChosenColumnIsWholeInANarrowWindow)
{
    OddsWindow window;
    window.showStep(14);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    const auto whole = [](const QTableView* view, int column) {
        const int at = view->horizontalHeader()->sectionViewportPosition(column);
        return at >= 0 && at + view->horizontalHeader()->sectionSize(column) <= view->viewport()->width();
    };
    for (const int width : {360, 300, 480}) {
        for (const int level : {4, 0, 3, 1, 4}) {
            window.resize(width, window.height());
            window.setChosenKarma(level);
            QApplication::processEvents();
            SCOPED_TRACE("karma " + std::to_string(level) + " at " + std::to_string(window.width()) + " px");
            ASSERT_LT(window.table()->viewport()->width(), window.table()->horizontalHeader()->length())
                << "every column in view: nothing to show";
            EXPECT_TRUE(whole(window.table(), level + 1));
            EXPECT_TRUE(whole(window.summary(), level));
            if (window.table()->horizontalHeader()->sectionPosition(level + 1)
                    + window.table()->horizontalHeader()->sectionSize(level + 1)
                <= window.table()->viewport()->width()) {
                EXPECT_TRUE(whole(window.table(), 0)) << "the minimum roll beside it";
            }
        }
    }
    // Narrowed with the last chosen.
    window.resize(window.minimumSizeHint().width(), window.height());
    QApplication::processEvents();
    EXPECT_TRUE(whole(window.table(), 5));
}

} // namespace
} // namespace velmora
