#include "app/WindowRig.h"
#include "app/odds/StepOddsHook.h"

#include <QAccessible>
#include <QApplication>
#include <QKeyEvent>
#include <QPointer>

#include <gtest/gtest.h>

#include <vector>

namespace velmora {
namespace {

using fixtures::WindowRig;

QString focused()
{
    return QApplication::focusWidget() != nullptr ? QApplication::focusWidget()->objectName() : QString();
}

void start(WindowRig& rig, const QString& name)
{
    rig.window.activateWindow();
    rig.button(name)->setFocus();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&rig.window));
}

// One quick run of digits: each one that extends the number to no step
// starts a new one (the pause that also does so is the core's to test).
TEST(Keyboard, TypedDigitsFocusTheStepAndNothingRolls)
{
    WindowRig rig;
    start(rig, QStringLiteral("karmabutton3"));
    const std::vector<std::pair<Qt::Key, const char*>> keys{{Qt::Key_7, "Command7"}, {Qt::Key_1, "Command1"},
        {Qt::Key_4, "Command14"}, {Qt::Key_0, "Command14"}, {Qt::Key_2, "Command2"}, {Qt::Key_5, "Command5"},
        {Qt::Key_5, "Command5"}, {Qt::Key_4, "Command4"}, {Qt::Key_0, "Command40"}};
    for (const auto& [key, button] : keys) {
        QTest::keyClick(QApplication::focusWidget(), key);
        EXPECT_EQ(focused(), QString::fromLatin1(button)) << key;
    }
    EXPECT_TRUE(rig.lines().empty());
    EXPECT_EQ(rig.karmaLabel()->text(), QStringLiteral("0"));
}

// Typed quickly, as a player who knows the keys: a roll ends the number, so
// the digits after it name a step of their own.
TEST(Keyboard, ARollEndsATypedNumber)
{
    const struct {
        std::vector<Qt::Key> keys;
        std::vector<int> rolled;
    } cases[] = {
        {{Qt::Key_1, Qt::Key_Space, Qt::Key_3, Qt::Key_Space}, {1, 3}},
        {{Qt::Key_3, Qt::Key_Space, Qt::Key_1, Qt::Key_Space}, {3, 1}},
        {{Qt::Key_3, Qt::Key_Return, Qt::Key_1, Qt::Key_4, Qt::Key_Space}, {3, 14}},
    };
    for (const auto& c : cases) {
        WindowRig rig;
        rig.source.repeatForever(1, 20);
        start(rig, QStringLiteral("karmabutton5"));
        std::vector<int> rolled;
        QObject::connect(
            &rig.session, &Session::rolled, [&rolled](const RollRecord& roll) { rolled.push_back(roll.step); });
        for (const Qt::Key key : c.keys) {
            QTest::keyClick(QApplication::focusWidget(), key);
        }
        EXPECT_EQ(rolled, c.rolled);
    }
}

TEST(Keyboard, PlusAndMinusStepTheKarmaAsItsButtonsWouldAndKeepTheFocus)
{
    WindowRig rig;
    start(rig, QStringLiteral("Command14"));
    const auto press = [&](Qt::Key key, Qt::KeyboardModifiers modifiers = {}) {
        QTest::keyClick(QApplication::focusWidget(), key, modifiers);
        return rig.karmaLabel()->text();
    };
    EXPECT_EQ(press(Qt::Key_Minus), QStringLiteral("0"));
    for (const char* level : {"1", "2", "3", "4", "4"}) {
        EXPECT_EQ(press(Qt::Key_Plus), QString::fromLatin1(level));
    }
    EXPECT_TRUE(rig.lamp(4)->isLit());
    EXPECT_EQ(press(Qt::Key_Minus, Qt::KeypadModifier), QStringLiteral("3"));
    EXPECT_EQ(press(Qt::Key_Plus, Qt::KeypadModifier), QStringLiteral("4"));
    for (const char* level : {"3", "2", "1", "0", "0"}) {
        EXPECT_EQ(press(Qt::Key_Minus), QString::fromLatin1(level));
    }
    EXPECT_FALSE(rig.lamp(1)->isLit());
    EXPECT_EQ(focused(), QStringLiteral("Command14"));
}

struct Move {
    const char* from;
    Qt::Key key;
    const char* to;
};

TEST(Keyboard, ArrowsMoveOnTheGridAndStopAtItsEdges)
{
    const Move moves[] = {
        {"karmabutton1", Qt::Key_Up, "karmabutton1"},
        {"karmabutton5", Qt::Key_Down, "Command1"},
        {"Command1", Qt::Key_Up, "karmabutton5"},
        {"Command10", Qt::Key_Down, "Command10"},
        {"Command2", Qt::Key_Right, "Command17"},
        {"Command17", Qt::Key_Left, "Command2"},
        {"karmabutton1", Qt::Key_Left, "karmabutton1"},
        {"karmabutton4", Qt::Key_Right, "Command14"},
        {"Command11", Qt::Key_Up, "Command11"},
        {"Command25", Qt::Key_Down, "Command25"},
        {"Command25", Qt::Key_Right, "Command40"},
        {"Command26", Qt::Key_Right, "Command26"},
        {"Command40", Qt::Key_Up, "Command39"},
    };
    WindowRig rig;
    for (const Move& m : moves) {
        start(rig, QString::fromLatin1(m.from));
        QTest::keyClick(QApplication::focusWidget(), m.key);
        EXPECT_EQ(focused(), QString::fromLatin1(m.to)) << m.from << " " << m.key;
    }
    EXPECT_TRUE(rig.lines().empty());
}

TEST(Keyboard, TheChosenKarmaButtonIsCheckedForAssistiveTechnology)
{
    WindowRig rig;
    // Checked for clients that read states, described for Orca, which
    // reads no state of a push button.
    const auto checked = [&rig] {
        std::vector<bool> states;
        for (int n = 1; n <= 5; ++n) {
            QAccessibleInterface* button = QAccessible::queryAccessibleInterface(rig.karmaButton(n));
            const bool described = button->text(QAccessible::Description) == QStringLiteral("gewählt");
            EXPECT_EQ(described, button->state().checked) << "Karma button " << n;
            states.push_back(button->state().checked);
        }
        return states;
    };
    EXPECT_EQ(checked(), (std::vector<bool>{false, false, false, false, false}));
    rig.click(rig.karmaButton(2));
    EXPECT_EQ(checked(), (std::vector<bool>{false, true, false, false, false}));
    EXPECT_TRUE(QAccessible::queryAccessibleInterface(rig.karmaButton(2))->state().checkable);
    EXPECT_FALSE(QAccessible::queryAccessibleInterface(rig.karmaButton(5))->state().checkable);
    rig.click(rig.karmaButton(4));
    EXPECT_EQ(checked(), (std::vector<bool>{false, false, false, true, false}));
    rig.click(rig.karmaButton(5));
    EXPECT_EQ(checked(), (std::vector<bool>{false, false, false, false, false}));
}

} // namespace
} // namespace velmora

namespace velmora {
namespace {

// A screen reader holds keys back and lets Qt post them afterwards to the
// widget that was to have them: after Escape, the menu that it closed.
TEST(Keyboard, KeysPostedLateToAClosedMenuActWhereTheFocusIsNow)
{
    WindowRig rig;
    rig.source.repeatForever(5, 20);
    start(rig, QStringLiteral("Command14"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F10, Qt::ShiftModifier);
    const QPointer<QWidget> menu = QApplication::activePopupWidget();
    ASSERT_NE(menu, nullptr);
    QTest::keyClick(menu, Qt::Key_Escape);
    QApplication::processEvents();
    ASSERT_FALSE(menu != nullptr && menu->isVisible());
    // Where a desktop's window manager gives it back, which offscreen Qt has not.
    rig.window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&rig.window));
    rig.step(14)->setFocus();
    QApplication::processEvents();
    ASSERT_EQ(focused(), QStringLiteral("Command14"));
    for (const auto& [key, text] : std::vector<std::pair<Qt::Key, const char*>>{
             {Qt::Key_Plus, "+"}, {Qt::Key_1, "1"}, {Qt::Key_5, "5"}, {Qt::Key_Space, " "}}) {
        for (const QEvent::Type type : {QEvent::KeyPress, QEvent::KeyRelease}) {
            if (menu != nullptr) {
                QCoreApplication::postEvent(menu, new QKeyEvent(type, key, Qt::NoModifier, QString::fromLatin1(text)));
            }
        }
    }
    QApplication::processEvents();
    ASSERT_EQ(rig.session.log().size(), 1U);
    EXPECT_EQ(rig.session.log().latest().roll.step, 15);
    EXPECT_EQ(rig.session.log().latest().roll.karmaLevel, 1);
}

// A mnemonic's "&" is for the eye: a screen reader reads it out.
TEST(Keyboard, NoAccessibleNameCarriesAMnemonicsAmpersand)
{
    fixtures::WindowRig rig;
    rig.window.showTalents();
    rig.window.showLog();
    rig.window.board()->odds()->openOdds(14);
    for (QWidget* top : QApplication::topLevelWidgets()) {
        QList<QWidget*> widgets = top->findChildren<QWidget*>();
        widgets << top;
        for (QWidget* widget : widgets) {
            QAccessibleInterface* widgetFace = QAccessible::queryAccessibleInterface(widget);
            if (widgetFace == nullptr) {
                continue;
            }
            QList<QAccessibleInterface*> faces{widgetFace};
            for (const auto& [label, relation] : widgetFace->relations(QAccessible::Labelled)) {
                faces << label;
            }
            for (int i = 0; i < widgetFace->childCount(); ++i) {
                faces << widgetFace->child(i);
            }
            for (QAccessibleInterface* face : faces) {
                // Screen readers read a label's text where it has one.
                QAccessibleTextInterface* text = face != nullptr ? face->textInterface() : nullptr;
                const QString name = face == nullptr ? QString()
                    : text != nullptr                ? text->text(0, text->characterCount())
                                                     : face->text(QAccessible::Name);
                EXPECT_FALSE(name.contains(QLatin1Char('&')))
                    << name.toStdString() << " in " << widget->metaObject()->className() << " "
                    << widget->objectName().toStdString();
            }
        }
    }
}

} // namespace
} // namespace velmora
