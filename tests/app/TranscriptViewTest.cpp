#include "app/band/TranscriptView.h"
#include "app/WindowRig.h"
#include "app/band/Legibility.h"
#include "app/window/DesignLayout.h"
#include "app/window/Twips.h"

#include <QAccessible>
#include <QApplication>
#include <QFontMetricsF>
#include <QImage>

#include <gtest/gtest.h>

#include <vector>

namespace velmora {
namespace {

using fixtures::WindowRig;

// Rows of the band, in device-independent pixels, that hold any ink: no
// control stands in the band, so whatever is not background is text.
std::vector<int> inkRows(const QImage& image, const QColor& background, int bandWidth)
{
    const qreal ratio = image.devicePixelRatio();
    std::vector<int> rows;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < static_cast<int>(bandWidth * ratio); ++x) {
            if (QColor(image.pixel(x, y)) != background) {
                const int row = static_cast<int>(y / ratio);
                if (rows.empty() || rows.back() != row) {
                    rows.push_back(row);
                }
                break;
            }
        }
    }
    return rows;
}

struct Shot {
    std::vector<int> rows;
    int lineHeight;
};

Shot shoot(WindowRig& rig)
{
    QApplication::processEvents();
    const QImage image = rig.window.board()->grab().toImage();
    return {inkRows(image, rig.window.board()->palette().color(QPalette::Window), twipsToPixels(kTranscriptBandTwips)),
        rig.window.board()->transcriptView()->lineHeight()};
}

TEST(TranscriptView, DrawsTheLinesFromTheTopLeftCornerDown)
{
    WindowRig rig;
    EXPECT_TRUE(shoot(rig).rows.empty());
    rig.source.push(6, 6);
    rig.source.push(2, 6);
    rig.source.push(1, 6);
    rig.click(rig.step(8));
    ASSERT_EQ(rig.lines().size(), 6U);
    const Shot shot = shoot(rig);
    ASSERT_FALSE(shot.rows.empty());
    EXPECT_LT(shot.rows.front(), shot.lineHeight);
    // Six lines, the third one empty after "Neuer Wurf!".
    std::vector<bool> inked(7, false);
    for (const int y : shot.rows) {
        inked[static_cast<std::size_t>(std::min(y / shot.lineHeight, 6))] = true;
    }
    EXPECT_EQ(inked, (std::vector<bool>{true, true, false, true, true, true, false}));

    // A shorter roll afterwards starts again at the top and leaves nothing below.
    rig.source.push(3, 4);
    rig.click(rig.step(3));
    const Shot after = shoot(rig);
    ASSERT_FALSE(after.rows.empty());
    EXPECT_LT(after.rows.front(), after.lineHeight);
    EXPECT_LT(after.rows.back(), 2 * after.lineHeight);
}

TEST(TranscriptView, LinesSurviveHidingMinimisingAndResizing)
{
    WindowRig rig;
    rig.source.push(7, 10);
    rig.source.push(3, 6);
    rig.click(rig.step(10));
    const auto before = shoot(rig).rows;
    ASSERT_FALSE(before.empty());

    rig.window.hide();
    rig.window.show();
    EXPECT_EQ(shoot(rig).rows, before);
    rig.window.showMinimized();
    QApplication::processEvents();
    rig.window.showNormal();
    EXPECT_EQ(shoot(rig).rows, before);
    rig.window.resize(50, 50);
    QApplication::processEvents();
    rig.window.resize(447, 539);
    EXPECT_EQ(shoot(rig).rows, before);
    rig.window.update();
    EXPECT_EQ(shoot(rig).rows, before);
}

TEST(TranscriptView, EnlargingShowsLinesThatWereBelowTheBottomEdge)
{
    WindowRig rig;
    // 40 highest faces in a row write far more lines than the window is high.
    for (int i = 0; i < 40; ++i) {
        rig.source.push(4, 4);
    }
    rig.source.push(1, 4);
    rig.click(rig.step(3));
    const Shot small = shoot(rig);
    ASSERT_FALSE(small.rows.empty());
    ASSERT_GT(static_cast<int>(rig.lines().size()) * small.lineHeight, 539);
    EXPECT_LE(small.rows.back(), 538);
    rig.window.resize(447, 2000);
    const Shot large = shoot(rig);
    ASSERT_FALSE(large.rows.empty());
    EXPECT_GT(large.rows.back(), 539);
    EXPECT_GE(large.rows.back(), static_cast<int>(rig.lines().size() - 1) * large.lineHeight);
}

TEST(TranscriptView, TextStaysLegibleOnLightAndDarkSurfaces)
{
    QPalette dark(QColor(53, 53, 53), QColor(40, 40, 40));
    dark.setColor(QPalette::WindowText, QColor(235, 235, 235));
    for (const QPalette& palette : {QPalette(QColor(239, 239, 239)), QPalette(QColor(Qt::white)), dark}) {
        const QColor ink = transcriptTextColour(palette);
        EXPECT_GE(contrastRatio(ink, palette.color(QPalette::Window)), kTranscriptContrast)
            << palette.color(QPalette::Window).name().toStdString();
    }
    // The design's dark blue is the ink on a light scheme.
    EXPECT_EQ(transcriptTextColour(QPalette(QColor(239, 239, 239))), QColor(1, 0, 66));

    // And the window really draws with it, on its real background, also
    // after the desktop switches to a dark scheme.
    WindowRig rig;
    const QPalette original = QApplication::palette();
    for (const QPalette& scheme : {original, dark}) {
        QApplication::setPalette(scheme);
        QApplication::processEvents();
        const QColor ink = rig.window.board()->transcriptView()->palette().color(QPalette::WindowText);
        const QColor surface = rig.window.board()->grab().toImage().pixel(5, 530);
        EXPECT_GE(contrastRatio(ink, surface), kTranscriptContrast) << surface.name().toStdString();
    }
    QApplication::setPalette(original);
}

TEST(ContrastRatio, MatchesKnownValues)
{
    EXPECT_NEAR(contrastRatio(Qt::black, Qt::white), 21.0, 1e-9);
    EXPECT_NEAR(contrastRatio(Qt::white, Qt::white), 1.0, 1e-9);
    EXPECT_NEAR(contrastRatio(QColor(118, 118, 118), Qt::white), 4.54, 0.01);
}

TEST(Accessibility, TheTranscriptOffersItsLinesAndAnnouncesEachRoll)
{
    WindowRig rig;
    rig.source.push(7, 10);
    rig.source.push(3, 6);
    rig.click(rig.step(10));

    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(rig.window.board()->transcriptView());
    ASSERT_NE(iface, nullptr);
    EXPECT_EQ(iface->role(), QAccessible::StaticText);
    EXPECT_EQ(iface->text(QAccessible::Name), QStringLiteral("Wurfergebnis"));
    const QString expected =
        QStringLiteral("Ein D10 wird gewürfelt: 7\nEin D6 wird gewürfelt: 3\nDie Summe lautet: 10");
    EXPECT_EQ(iface->text(QAccessible::Value), expected);
    ASSERT_NE(iface->textInterface(), nullptr);
    EXPECT_EQ(iface->textInterface()->characterCount(), expected.size());
    EXPECT_EQ(iface->textInterface()->text(0, static_cast<int>(expected.size())), expected);

    // The next roll replaces what is offered.
    rig.source.push(1, 4);
    rig.click(rig.step(3));
    EXPECT_EQ(iface->text(QAccessible::Value), QStringLiteral("Ein D4 wird gewürfelt: 1\nPatzer!"));

    rig.click(rig.karmaButton(1));
    EXPECT_TRUE(QAccessible::queryAccessibleInterface(rig.lamp(1))->state().checked);
    EXPECT_FALSE(QAccessible::queryAccessibleInterface(rig.lamp(2))->state().checked);
    EXPECT_EQ(QAccessible::queryAccessibleInterface(rig.step(40))->text(QAccessible::Name), QStringLiteral("Stufe 40"));
}

TEST(Accessibility, TheWindowIsAFrameOfWhatAPersonCanPerceive)
{
    WindowRig rig;
    QAccessibleInterface* window = QAccessible::queryAccessibleInterface(&rig.window);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->role(), QAccessible::Window);
    EXPECT_EQ(window->text(QAccessible::Name), rig.window.windowTitle());
    QAccessibleInterface* frame = QAccessible::queryAccessibleInterface(rig.window.board());
    EXPECT_EQ(frame->role(), QAccessible::Client);
    EXPECT_GE(window->indexOfChild(frame), 0);

    // Every visible control once, in order; not the hidden karma state, and
    // not the announcer before it has anything to say.
    QStringList names;
    for (int i = 0; i < frame->childCount(); ++i) {
        QAccessibleInterface* child = frame->child(i);
        ASSERT_NE(child, nullptr);
        EXPECT_EQ(frame->indexOfChild(child), i);
        names << child->object()->objectName();
    }
    EXPECT_EQ(names.size(), 51);
    EXPECT_FALSE(names.contains(QStringLiteral("karma")));
    EXPECT_FALSE(names.contains(QStringLiteral("announcer")));
    EXPECT_TRUE(names.contains(QStringLiteral("transcript")));
    EXPECT_EQ(frame->indexOfChild(QAccessible::queryAccessibleInterface(rig.karmaLabel())), -1);
    EXPECT_EQ(frame->child(51), nullptr);
    EXPECT_EQ(frame->child(-1), nullptr);
}

TEST(Accessibility, EveryCharacterHasItsBoxAndEveryControlAnswersAPointQuery)
{
    WindowRig rig;
    rig.source.push(3, 6);
    rig.source.push(5, 6);
    rig.click(rig.step(8));
    TranscriptView* view = rig.window.board()->transcriptView();
    QAccessibleInterface* transcript = QAccessible::queryAccessibleInterface(view);
    QAccessibleTextInterface* text = transcript->textInterface();
    ASSERT_NE(text, nullptr);
    const int height = view->lineHeight();
    const QPoint origin = view->mapToGlobal(QPoint(0, 0));

    // The "E" that begins each line, and the last character of the sum line.
    int offset = 0;
    for (int line = 0; line < 3; ++line) {
        const QRect box = text->characterRect(offset);
        EXPECT_EQ(box.left(), origin.x()) << line;
        EXPECT_EQ(box.top(), origin.y() + line * height) << line;
        EXPECT_GT(box.width(), 0) << line;
        EXPECT_EQ(text->offsetAtPoint(box.center()), offset) << line;
        offset += static_cast<int>(QString::fromStdString(rig.lines()[static_cast<std::size_t>(line)]).size()) + 1;
    }
    const QRect last = text->characterRect(text->characterCount() - 1);
    EXPECT_GT(last.left(), origin.x() + 50);
    EXPECT_EQ(text->offsetAtPoint(last.center()), text->characterCount() - 1);
    EXPECT_EQ(text->offsetAtPoint(origin + QPoint(5, 10 * height)), -1);
    EXPECT_EQ(transcript->rect(), QRect(origin, QSize(twipsToPixels(kTranscriptBandTwips), 3 * height)));

    QAccessibleInterface* window = QAccessible::queryAccessibleInterface(rig.window.board());
    for (QWidget* control : rig.window.board()->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (!control->isVisible() || control == view || control->size().isEmpty()) {
            continue;
        }
        const QPoint centre = control->mapToGlobal(control->rect().center());
        QAccessibleInterface* found = window->childAt(centre.x(), centre.y());
        ASSERT_NE(found, nullptr) << control->objectName().toStdString();
        EXPECT_EQ(found->object(), control) << control->objectName().toStdString();
    }
    const QPoint inBand = origin + QPoint(10, height / 2);
    EXPECT_EQ(window->childAt(inBand.x(), inBand.y()), transcript);
}

TEST(HighDpi, TheLayoutIsTheSameAtEveryPixelRatio)
{
    WindowRig rig;
    const qreal ratio = rig.window.devicePixelRatioF();
    const QByteArray expected = qgetenv("VELMORA_EXPECT_DPR");
    if (!expected.isEmpty()) {
        EXPECT_EQ(ratio, expected.toDouble());
    }
    EXPECT_EQ(rig.window.board()->size(), QSize(447, 539));
    EXPECT_EQ(rig.step(1)->geometry(), QRect(144, 184, 81, 25));
    const QImage image = rig.window.board()->grab().toImage();
    EXPECT_EQ(image.size(), QSize(447, 539) * ratio);
}

} // namespace
} // namespace velmora
