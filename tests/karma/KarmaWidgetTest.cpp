#include "app/WindowRig.h"
#include "app/band/Legibility.h"
#include "app/window/CaptionButton.h"
#include "app/window/SystemColours.h"
#include "karma/KarmaState.h"

#include <QAccessible>
#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QPalette>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <utility>

namespace velmora {
namespace {

using fixtures::WindowRig;

void expectState(WindowRig& rig, int level)
{
    EXPECT_EQ(rig.karmaLabel()->text(), QString::number(level));
    for (int lamp = 1; lamp <= kKarmaLamps; ++lamp) {
        const bool lit = lamp == level;
        EXPECT_EQ(rig.lamp(lamp)->systemColour(), lit ? kLampSelected : kLampUnselected)
            << "lamp " << lamp << " at level " << level;
        EXPECT_EQ(rig.lamp(lamp)->isLit(), lit);
        EXPECT_EQ(QAccessible::queryAccessibleInterface(rig.lamp(lamp))->state().checked, lit);
    }
}

// Columns of a button's grab that its caption inks: where the grab with
// the caption differs from one without.
std::pair<int, int> captionInk(QPushButton* button)
{
    const QImage with = button->grab().toImage();
    const QString caption = button->text();
    button->setText({});
    const QImage without = button->grab().toImage();
    button->setText(caption);
    int left = with.width();
    int right = -1;
    for (int y = 0; y < with.height(); ++y) {
        for (int x = 0; x < with.width(); ++x) {
            if (with.pixel(x, y) != without.pixel(x, y)) {
                left = std::min(left, x);
                right = std::max(right, x);
            }
        }
    }
    return {left, right};
}

// The same caption's ink, painted unclipped in the button's font at the
// button's narrowing.
int unclippedInkWidth(CaptionButton* button)
{
    const qreal ratio = button->devicePixelRatioF();
    const QSizeF scale = button->captionScale();
    QImage image(static_cast<int>(4 * button->width() * ratio), static_cast<int>(button->height() * ratio),
        QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setFont(button->font());
        painter.scale(scale.width(), scale.height());
        const QSizeF logical = QSizeF(image.size()) / ratio;
        painter.drawText(QRectF(0, 0, logical.width() / scale.width(), logical.height() / scale.height()),
            Qt::AlignCenter, button->text());
    }
    int left = image.width();
    int right = -1;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(image.pixel(x, y)) != 0) {
                left = std::min(left, x);
                right = std::max(right, x);
            }
        }
    }
    return right - left + 1;
}

TEST(KarmaCaptions, ReadWholeInsideTheirButtonsClearOfTheFrame)
{
    WindowRig rig;
    if (rig.window.devicePixelRatioF() < 1) {
        GTEST_SKIP() << "Qt 6.4 paints controls unscaled and clipped below a pixel ratio of 1";
    }
    // As the window starts, and once its font has grown: a fit that stayed
    // as it was would cut the larger captions off.
    for (const qreal growth : {1.0, 1.5}) {
        if (growth != 1.0) {
            QFont larger = rig.window.font();
            larger.setPointSizeF(larger.pointSizeF() * growth);
            rig.window.setFont(larger);
        }
        for (int n = 1; n <= kKarmaButtons; ++n) {
            auto* button = qobject_cast<CaptionButton*>(rig.karmaButton(n));
            ASSERT_NE(button, nullptr);
            SCOPED_TRACE(button->text().toStdString() + " at " + std::to_string(growth));
            const auto [left, right] = captionInk(button);
            const int frame = static_cast<int>(std::ceil(button->devicePixelRatioF()));
            const int width = static_cast<int>(std::lround(button->width() * button->devicePixelRatioF()));
            ASSERT_LE(left, right);
            EXPECT_GE(left, frame);
            EXPECT_LT(right, width - frame);
            // A faint anti-aliased column may match the face it stands on.
            EXPECT_GE(right - left + 2, unclippedInkWidth(button)) << "the caption is cut off";
            if (button->captionScale() != QSizeF(1, 1)) {
                // Narrowed just enough, not into a smudge of its own.
                QStyleOptionButton option;
                option.initFrom(button);
                option.text = button->text();
                const int room =
                    button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button).width();
                EXPECT_GE(right - left + 1, (room - 4) * button->devicePixelRatioF());
            }
            // The button as the board placed it: the caption fits itself to it.
            EXPECT_EQ(button->size(), scaled({0, 0, 975, 375}, rig.window.board()->scale()).size());
        }
    }
}

TEST(KarmaWidgets, StartWithNoLevelAndAllLampsUnlit)
{
    WindowRig rig;
    expectState(rig, 0);
    for (int lamp = 1; lamp <= kKarmaLamps; ++lamp) {
        EXPECT_TRUE(rig.lamp(lamp)->text().isEmpty());
        // A read-only check box named by its level.
        QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(rig.lamp(lamp));
        EXPECT_EQ(iface->role(), QAccessible::CheckBox);
        EXPECT_EQ(iface->text(QAccessible::Name), QStringLiteral("Anzeige Karma +%1").arg(2 + 2 * lamp));
        EXPECT_TRUE(iface->state().checkable);
        EXPECT_TRUE(iface->state().readOnly);
        EXPECT_FALSE(iface->state().focusable);
    }
}

// Every button from every state, with a roll in between that must not change it.
TEST(KarmaWidgets, EveryButtonFromEveryStateSetsTheStateAndTheLamps)
{
    for (int from = 0; from <= 4; ++from) {
        for (int button = 1; button <= kKarmaButtons; ++button) {
            WindowRig rig;
            if (from > 0) {
                rig.click(rig.karmaButton(from));
            }
            expectState(rig, from);
            rig.source.repeatForever(1, 2);
            rig.click(rig.step(9));
            const auto transcript = rig.lines();
            rig.click(rig.karmaButton(button));
            SCOPED_TRACE(::testing::Message() << "from " << from << " button " << button);
            expectState(rig, button == kResetButton ? 0 : button);
            EXPECT_EQ(rig.lines(), transcript);
        }
    }
}

TEST(KarmaWidgets, ARollLeavesTheStateAsItWas)
{
    WindowRig rig;
    rig.click(rig.karmaButton(2));
    rig.source.repeatForever(1, 2);
    for (int i = 0; i < 2; ++i) {
        rig.click(rig.step(4));
        EXPECT_EQ(rig.lines()[1], "Karma +6!");
        expectState(rig, 2);
    }
}

QPalette darkPalette()
{
    QPalette dark(QColor(53, 53, 53), QColor(42, 42, 42));
    dark.setColor(QPalette::WindowText, QColor(230, 230, 230));
    dark.setColor(QPalette::Text, QColor(230, 230, 230));
    dark.setColor(QPalette::ButtonText, QColor(230, 230, 230));
    dark.setColor(QPalette::Base, QColor(30, 30, 30));
    return dark;
}

struct PaletteCase {
    const char* name;
    QPalette palette;
};

void PrintTo(const PaletteCase& c, std::ostream* os) { *os << c.name; }

class KarmaPalettes : public ::testing::TestWithParam<PaletteCase> {};

TEST_P(KarmaPalettes, LampsFollowThePaletteAndStayDistinct)
{
    const QPalette original = QApplication::palette();
    WindowRig rig;
    rig.click(rig.karmaButton(3));
    QApplication::setPalette(GetParam().palette);
    QApplication::processEvents();

    const QColor lit = rig.lamp(3)->shownColour();
    const QColor unlit = rig.lamp(1)->shownColour();
    EXPECT_EQ(lit, QApplication::palette("QMenu").color(QPalette::WindowText));
    EXPECT_EQ(unlit, QApplication::palette().color(QPalette::Base));
    EXPECT_GE(contrastRatio(lit, unlit), 3.0) << GetParam().name;

    // What is painted is what the lamp says it shows.
    const QImage image = rig.lamp(3)->grab().toImage();
    EXPECT_EQ(QColor(image.pixel(image.width() / 2, image.height() / 2)), lit);
    const QImage off = rig.lamp(1)->grab().toImage();
    EXPECT_EQ(QColor(off.pixel(off.width() / 2, off.height() / 2)), unlit);
    QApplication::setPalette(original);
}

INSTANTIATE_TEST_SUITE_P(Karma, KarmaPalettes,
    ::testing::Values(PaletteCase{"light", QPalette(QColor(239, 239, 239))}, PaletteCase{"dark", darkPalette()}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SystemColours, ResolveReferencesAgainstThePaletteAndRgbAsIs)
{
    QPalette general(QColor(200, 200, 200));
    general.setColor(QPalette::Base, QColor(1, 2, 3));
    general.setColor(QPalette::Button, QColor(4, 5, 6));
    QPalette menu;
    menu.setColor(QPalette::WindowText, QColor(7, 8, 9));
    EXPECT_EQ(resolveColour(0x80000007U, general, menu), QColor(7, 8, 9));
    EXPECT_EQ(resolveColour(0x8000000BU, general, menu), QColor(1, 2, 3));
    EXPECT_EQ(resolveColour(0x8000000FU, general, menu), QColor(4, 5, 6));
    EXPECT_EQ(resolveColour(0x00420001U, general, menu), QColor(1, 0, 66));
    EXPECT_EQ(resolveColour(0x00404040U, general, menu), QColor(64, 64, 64));
}

} // namespace
} // namespace velmora
