#include "app/WindowRig.h"

#include <QApplication>
#include <QKeyEvent>

#include <gtest/gtest.h>

#include <utility>

#include <string>
#include <vector>

namespace velmora {
namespace {

using fixtures::WindowRig;
using Lines = std::vector<std::string>;

struct Face {
    int sides;
    int face;
};

struct ClickCase {
    const char* name;
    int karmaButton; // 0 for none
    int step;
    std::vector<Face> faces;
    Lines lines;
};

void PrintTo(const ClickCase& c, std::ostream* os) { *os << c.name; }

class StepClicks : public ::testing::TestWithParam<ClickCase> {};

TEST_P(StepClicks, RollThroughTheRealButtons)
{
    const ClickCase& c = GetParam();
    WindowRig rig;
    if (c.karmaButton != 0) {
        rig.click(rig.karmaButton(c.karmaButton));
    }
    for (const Face f : c.faces) {
        rig.source.push(f.face, f.sides);
    }
    rig.click(rig.step(c.step));
    EXPECT_EQ(rig.lines(), c.lines);
    EXPECT_EQ(rig.source.left(), 0U);
}

INSTANTIATE_TEST_SUITE_P(Window, StepClicks,
    ::testing::Values(ClickCase{"step1Sum", 0, 1, {{4, 3}}, {"Ein D4 wird gewürfelt: 3", "Die Summe lautet: 1 (3-2)"}},
        ClickCase{"step1Reroll", 0, 1, {{4, 4}, {4, 1}},
            {"Ein D4 wird gewürfelt: 4", "Neuer Wurf!", "", "Ein D4 wird gewürfelt: 1", "Die Summe lautet: 3 (5-2)"}},
        ClickCase{"step10", 0, 10, {{10, 7}, {6, 3}},
            {"Ein D10 wird gewürfelt: 7", "Ein D6 wird gewürfelt: 3", "Die Summe lautet: 10"}},
        ClickCase{"step1Karma6", 2, 1, {{4, 3}, {6, 2}},
            {"Ein D4 wird gewürfelt: 3", "Karma +6!", "Ein D6 wird gewürfelt: 2", "Die Summe lautet: 3 (5-2)"}},
        ClickCase{"step40Karma10", 4, 40, {{20, 3}, {20, 4}, {12, 5}, {10, 6}, {8, 7}, {10, 8}},
            {"Ein D20 wird gewürfelt: 3", "Ein D20 wird gewürfelt: 4", "Ein D12 wird gewürfelt: 5",
                "Ein D10 wird gewürfelt: 6", "Ein D8 wird gewürfelt: 7", "Karma +10!", "Ein D10 wird gewürfelt: 8",
                "Die Summe lautet: 33"}},
        ClickCase{"afterReset", 5, 2, {{4, 2}}, {"Ein D4 wird gewürfelt: 2", "Die Summe lautet: 1 (2-1)"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(StepClick, ASecondRollFirstErasesTheFirst)
{
    WindowRig rig;
    rig.click(rig.karmaButton(3));
    rig.source.push(12, 12);
    rig.source.push(5, 12);
    rig.source.push(2, 8);
    rig.click(rig.step(7));
    ASSERT_EQ(rig.lines().size(), 7U);
    rig.source.push(1, 6);
    rig.source.push(1, 6);
    rig.source.push(1, 8);
    rig.click(rig.step(8));
    EXPECT_EQ(rig.lines(),
        (Lines{"Ein D6 wird gewürfelt: 1", "Ein D6 wird gewürfelt: 1", "Karma +8!", "Ein D8 wird gewürfelt: 1",
            "Patzer!"}));
    EXPECT_EQ(rig.karmaLabel()->text(), QStringLiteral("3"));
}

// A held key: its first press, then the repeats the window system sends as
// release and press pairs, then the real release. Qt flags the pairs as
// repeats, or on X11 at times does not, when only their shared server time
// tells them. Whichever, the key acts once.
struct HeldKey {
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    const char* text;
};

void hold(QWidget* target, const HeldKey& held, bool flagged)
{
    unsigned long time = 5000;
    const auto send = [&](QEvent::Type type, bool repeat) {
        QKeyEvent event(type, held.key, held.modifiers, QString::fromLatin1(held.text), repeat && flagged);
        event.setTimestamp(time);
        QApplication::sendEvent(QApplication::focusWidget() != nullptr ? QApplication::focusWidget() : target, &event);
    };
    send(QEvent::KeyPress, false);
    for (int i = 0; i < 20; ++i) {
        time += 33;
        send(QEvent::KeyRelease, true);
        send(QEvent::KeyPress, true);
    }
    time += 40;
    send(QEvent::KeyRelease, false);
}

TEST(StepClick, AHeldKeyActsOnce)
{
    for (const bool flagged : {true, false}) {
        for (const HeldKey& held : {HeldKey{Qt::Key_Return, Qt::NoModifier, ""},
                 HeldKey{Qt::Key_Enter, Qt::KeypadModifier, ""}, HeldKey{Qt::Key_Space, Qt::NoModifier, " "}}) {
            WindowRig rig;
            rig.window.activateWindow();
            rig.step(3)->setFocus();
            rig.source.push(2, 4);
            rig.source.push(3, 4);
            hold(rig.step(3), held, flagged);
            EXPECT_EQ(rig.lines(), (Lines{"Ein D4 wird gewürfelt: 2", "Die Summe lautet: 2"}))
                << held.key << (flagged ? " flagged" : " unflagged");
        }
        WindowRig rig;
        rig.window.activateWindow();
        rig.step(3)->setFocus();
        hold(rig.step(3), {Qt::Key_Plus, Qt::NoModifier, "+"}, flagged);
        EXPECT_EQ(rig.karmaLabel()->text(), QStringLiteral("1")) << (flagged ? "flagged" : "unflagged");
        hold(rig.step(3), {Qt::Key_Minus, Qt::NoModifier, "-"}, flagged);
        EXPECT_EQ(rig.karmaLabel()->text(), QStringLiteral("0")) << (flagged ? "flagged" : "unflagged");
        // Typed once, "1" reaches "Stufe 01"; again, it would go on to "Stufe 11".
        hold(rig.step(3), {Qt::Key_1, Qt::NoModifier, "1"}, flagged);
        EXPECT_EQ(QApplication::focusWidget(), rig.step(1)) << (flagged ? "flagged" : "unflagged");
        EXPECT_TRUE(rig.lines().empty());
    }
}

} // namespace
} // namespace velmora
