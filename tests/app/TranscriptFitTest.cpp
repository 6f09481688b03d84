#include "app/WindowRig.h"
#include "app/band/LineFitter.h"
#include "app/band/TranscriptView.h"
#include "app/window/DesignLayout.h"
#include "app/window/Twips.h"
#include "dice/DieSizes.h"
#include "text/TranscriptText.h"

#include <QApplication>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <QScreen>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace velmora {
namespace {

using fixtures::WindowRig;

const int kBand = twipsToPixels(kTranscriptBandTwips);

struct FontCase {
    const char* name;
    const char* family;
    qreal points;
};

// Debian's default, a narrow and a wide family, and a size so large that
// narrowing alone cannot fit the widest lines.
const FontCase kFonts[] = {
    {"DejaVu9", "DejaVu Sans", 9},
    {"DejaVu10", "DejaVu Sans", 10},
    {"DejaVu11", "DejaVu Sans", 11},
    {"Condensed9", "DejaVu Sans Condensed", 9},
    {"Mono10", "DejaVu Sans Mono", 10},
    {"DejaVu16", "DejaVu Sans", 16},
};

// Makes the case's font the application's font for one test.
class FontScope {
public:
    explicit FontScope(const FontCase& c) : m_saved(QApplication::font())
    {
        QFont font(QString::fromLatin1(c.family));
        font.setPointSizeF(c.points);
        QApplication::setFont(font);
    }
    ~FontScope() { QApplication::setFont(m_saved); }
    FontScope(const FontScope&) = delete;
    FontScope& operator=(const FontScope&) = delete;

private:
    QFont m_saved;
};

bool isInk(QRgb pixel) { return qGray(pixel) < 128; }

// First and last device row and column that hold dark ink inside area
// (device pixels); an empty rectangle when there is none.
QRect inkBox(const QImage& image, const QRect& area)
{
    QRect box;
    const QRect clipped = area.intersected(image.rect());
    for (int y = clipped.top(); y <= clipped.bottom(); ++y) {
        for (int x = clipped.left(); x <= clipped.right(); ++x) {
            if (isInk(image.pixel(x, y))) {
                box = box.united(QRect(x, y, 1, 1));
            }
        }
    }
    return box;
}

// Where a painter on an image at this ratio puts a logical rectangle.
QRect toDevice(const QImage& image, const QRectF& logical)
{
    QImage probe(1, 1, QImage::Format_ARGB32_Premultiplied);
    probe.setDevicePixelRatio(image.devicePixelRatio());
    return QPainter(&probe).deviceTransform().mapRect(logical).toRect();
}

int toDevice(const QImage& image, qreal x) { return toDevice(image, QRectF(0, 0, x, x)).width(); }

// The lines that must fit whole: every die line, the notices, the karma
// lines, the error lines, and the widest sum lines below 1000 in both forms.
std::vector<std::string> linesThatMustFit(const QFont& font)
{
    std::vector<std::string> lines;
    for (const int sides : kDieSizes) {
        for (int face = 1; face <= sides; ++face) {
            lines.push_back(text::dieLine(sides, face));
        }
    }
    lines.push_back("Neuer Wurf!");
    lines.push_back(text::fumbleLine());
    for (const char* karma : {"Karma +4!", "Karma +6!", "Karma +8!", "Karma +10!"}) {
        lines.push_back(karma);
    }
    for (const auto kind : {RollError::Kind::Overflow, RollError::Kind::FloatingPoint, RollError::Kind::KarmaNotANumber,
             RollError::Kind::InvalidDieSize}) {
        const std::string message = text::errorLine(kind);
        for (const auto piece : TranscriptModel::splitPieces(message)) {
            lines.emplace_back(piece);
        }
    }
    const QFontMetricsF metrics(font);
    for (const int modifier : {0, 1, 2}) {
        std::vector<std::pair<qreal, std::string>> sums;
        for (int total = modifier; total < 1000; ++total) {
            const std::string line = text::sumLine(total, modifier);
            sums.emplace_back(metrics.horizontalAdvance(QString::fromStdString(line)), line);
        }
        std::partial_sort(sums.begin(), sums.begin() + 12, sums.end(), std::greater<>());
        for (int i = 0; i < 12; ++i) {
            lines.push_back(sums[static_cast<std::size_t>(i)].second);
        }
    }
    return lines;
}

class TranscriptFit : public ::testing::TestWithParam<FontCase> {};

TEST_P(TranscriptFit, TheWidestLinesPaintInsideTheBand)
{
    const FontScope scope(GetParam());
    ASSERT_EQ(QFontInfo(QApplication::font()).family(), QString::fromLatin1(GetParam().family))
        << "font missing: run scripts/deps.sh";
    TranscriptModel model;
    TranscriptView view(model, kBand);
    const std::vector<std::string> lines = linesThatMustFit(view.font());
    LineFitter& layout = view.lineLayout();

    // Painted through the view itself, a page of lines at a time.
    constexpr std::size_t kPage = 30;
    int widest = 0;
    for (std::size_t first = 0; first < lines.size(); first += kPage) {
        model.cls();
        const std::size_t count = std::min(kPage, lines.size() - first);
        for (std::size_t i = first; i < first + count; ++i) {
            model.print(lines[i]);
        }
        view.resize(3 * kBand, static_cast<int>(count + 1) * view.lineHeight());
        QImage image(1, 1, QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(view.devicePixelRatioF());
        image = QImage(toDevice(image, view.rect()).size(), image.format());
        image.setDevicePixelRatio(view.devicePixelRatioF());
        image.fill(Qt::white);
        view.render(&image, {}, {}, QWidget::DrawChildren);
        const int band = toDevice(image, kBand);
        for (std::size_t i = 0; i < count; ++i) {
            const QRect row =
                toDevice(image, QRectF(0, static_cast<qreal>(i * view.lineHeight()), 3 * kBand, view.lineHeight()));
            const QRect ink = inkBox(image, row);
            ASSERT_FALSE(ink.isEmpty()) << lines[first + i];
            EXPECT_LT(ink.right(), band) << lines[first + i];
            widest = std::max(widest, ink.right() + 1);
        }
    }
    RecordProperty("widest_painted_device_px", widest);

    // One width factor for the whole die column; nothing below 70 %.
    const LineFit& die = layout.fit(QString::fromStdString(text::dieLine(4, 1)));
    for (const std::string& line : lines) {
        const LineFit& fit = layout.fit(QString::fromStdString(line));
        EXPECT_GE(fit.stretch(), 70) << line;
        if (text::isDieLine(line)) {
            EXPECT_EQ(fit.font, die.font) << line;
        }
    }
}

TEST_P(TranscriptFit, LinesThatFitAreNeitherNarrowedNorShrunk)
{
    const FontScope scope(GetParam());
    TranscriptModel model;
    TranscriptView view(model, kBand);
    LineFitter& layout = view.lineLayout();
    for (const QString& line : {QStringLiteral("Patzer!"), QStringLiteral("Karma +4!"), QStringLiteral("")}) {
        const LineFit& fit = layout.fit(line);
        EXPECT_EQ(fit.font, view.font()) << line.toStdString();
        EXPECT_EQ(fit.stretch(), 100) << line.toStdString();
    }
    // A line narrowed less than the die column keeps its own, wider factor.
    const LineFit& sum = layout.fit(QStringLiteral("Die Summe lautet: 7"));
    EXPECT_GE(sum.stretch(), layout.dieFit().stretch());
}

TEST_P(TranscriptFit, ControlsKeepTheApplicationFontAndCapitalsMatchTheCaptions)
{
    const FontScope scope(GetParam());
    WindowRig rig;
    EXPECT_FALSE(rig.window.testAttribute(Qt::WA_SetFont));
    EXPECT_EQ(rig.window.font(), QApplication::font());
    EXPECT_EQ(rig.step(1)->font(), QApplication::font());
    // A karma caption may be narrowed to read whole in its button.
    EXPECT_EQ(rig.karmaButton(4)->font().family(), QApplication::font().family());
    EXPECT_EQ(rig.window.board()->transcriptView()->font(), QApplication::font());

    if (rig.window.devicePixelRatioF() < 1) {
        GTEST_SKIP() << "Qt 6.4 paints controls unscaled and clipped below a pixel ratio of 1";
    }
    // "Patzer!" in the transcript against the caption "Reset": capitals,
    // the same small letters, and nothing reaching above or below them.
    rig.source.push(1, 4);
    rig.click(rig.step(3));
    ASSERT_EQ(rig.lines()[1], "Patzer!");
    QApplication::processEvents();
    const QImage image = rig.window.board()->grab().toImage();
    const int lineHeight = rig.window.board()->transcriptView()->lineHeight();
    const QRect line = inkBox(image, toDevice(image, QRectF(0, lineHeight, kBand, lineHeight)));
    const QRect caption = inkBox(image, toDevice(image, QRectF(rig.karmaButton(5)->geometry().adjusted(1, 1, -1, -1))));
    ASSERT_FALSE(line.isEmpty());
    ASSERT_FALSE(caption.isEmpty());
    EXPECT_NEAR(line.height(), caption.height(), 1.0);
}

INSTANTIATE_TEST_SUITE_P(
    Fonts, TranscriptFit, ::testing::ValuesIn(kFonts), [](const auto& info) { return std::string(info.param.name); });

// What the window's backing store holds: the pixels on screen, stale ones
// included, unlike grab(), which paints everything afresh.
QImage onScreen(WindowRig& rig)
{
    QApplication::processEvents();
    const QWidget* board = rig.window.board();
    const QPoint at = board->mapTo(&rig.window, QPoint(0, 0));
    return rig.window.screen()
        ->grabWindow(rig.window.winId(), at.x(), at.y(), board->width(), board->height())
        .toImage();
}

void pushLongRoll(WindowRig& rig)
{
    for (const int face : {20, 20, 20, 5}) {
        rig.source.push(face, 20);
    }
    rig.source.push(13, 20);
    rig.source.push(12, 12);
    rig.source.push(3, 12);
    rig.source.push(4, 10);
    rig.source.push(8, 8);
    rig.source.push(2, 8);
    rig.source.push(10, 10);
    rig.source.push(1, 10);
}

// Aborts the whole test program if it is still running after a deadline,
// so that a hang fails the suite instead of holding it up.
class Watchdog {
public:
    explicit Watchdog(std::chrono::seconds limit)
        : m_thread([this, limit] {
            std::unique_lock lock(m_mutex);
            if (!m_done.wait_for(lock, limit, [this] { return m_finished; })) {
                std::fprintf(stderr, "hung for %lld s\n", static_cast<long long>(limit.count()));
                std::abort();
            }
        })
    {
    }
    ~Watchdog()
    {
        {
            const std::lock_guard lock(m_mutex);
            m_finished = true;
        }
        m_done.notify_one();
        m_thread.join();
    }
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;

private:
    std::mutex m_mutex;
    std::condition_variable m_done;
    bool m_finished = false;
    std::thread m_thread;
};

// Fonts in which no narrowing and no legible size lets the lines fit, or
// that Qt can hardly measure: every roll still ends.
struct HostileFont {
    const char* name;
    const char* styleSheet;
    const char* family;
};
const HostileFont kHostile[] = {
    {"LetterSpacing", "* { letter-spacing: 5px; }", nullptr},
    {"Tiny", "* { font-size: 0.1pt; }", nullptr},
    {"Huge", "* { font-size: 40pt; }", nullptr},
    {"Bitmap", nullptr, "Terminus"},
};

class HostileFonts : public ::testing::TestWithParam<HostileFont> {};

TEST_P(HostileFonts, EveryRollEnds)
{
    const HostileFont& c = GetParam();
    const QFont savedFont = QApplication::font();
    if (c.family != nullptr) {
        QApplication::setFont(QFont(QString::fromLatin1(c.family), 9));
        ASSERT_EQ(QFontInfo(QApplication::font()).family(), QString::fromLatin1(c.family))
            << "font missing: run scripts/deps.sh --test";
    }
    qApp->setStyleSheet(QString::fromLatin1(c.styleSheet != nullptr ? c.styleSheet : ""));
    {
        const Watchdog watchdog(std::chrono::seconds(60));
        WindowRig rig;
        rig.click(rig.karmaButton(4));
        pushLongRoll(rig);
        rig.click(rig.step(40));
        QApplication::processEvents();
        EXPECT_GT(rig.lines().size(), 15U);
        rig.click(rig.karmaButton(5));
        rig.source.push(3, 4);
        rig.click(rig.step(1));
        QApplication::processEvents();
        EXPECT_EQ(rig.lines().back(), "Die Summe lautet: 1 (3-2)");
    }
    qApp->setStyleSheet({});
    QApplication::setFont(savedFont);
}

INSTANTIATE_TEST_SUITE_P(
    Fonts, HostileFonts, ::testing::ValuesIn(kHostile), [](const auto& info) { return std::string(info.param.name); });

TEST(TranscriptRepaint, ALongRollLeavesNoPixelBehindTheNextShortOne)
{
    WindowRig shortOnly;
    shortOnly.click(shortOnly.karmaButton(4));
    shortOnly.click(shortOnly.karmaButton(5));
    shortOnly.source.push(2, 4);
    shortOnly.click(shortOnly.step(3));

    WindowRig longThenShort;
    longThenShort.click(longThenShort.karmaButton(4));
    pushLongRoll(longThenShort);
    longThenShort.click(longThenShort.step(40));
    ASSERT_GT(longThenShort.lines().size(), 15U);
    const QImage afterLong = onScreen(longThenShort);
    longThenShort.click(longThenShort.karmaButton(5));
    longThenShort.source.push(2, 4);
    longThenShort.click(longThenShort.step(3));

    const QImage expected = onScreen(shortOnly);
    const QImage actual = onScreen(longThenShort);
    ASSERT_FALSE(expected.isNull());
    EXPECT_NE(afterLong, expected); // the long roll did show
    EXPECT_EQ(actual, expected);
}

TEST(TranscriptRepaint, ARightToLeftApplicationStillWritesLeftToRight)
{
    const auto band = [](Qt::LayoutDirection direction) {
        QApplication::setLayoutDirection(direction);
        WindowRig rig;
        rig.source.push(6, 6);
        rig.source.push(2, 6);
        rig.source.push(1, 6);
        rig.click(rig.step(8));
        const QImage image = onScreen(rig);
        QApplication::setLayoutDirection(Qt::LeftToRight);
        return image.copy(0, 0, toDevice(image, kBand), image.height());
    };
    const QImage leftToRight = band(Qt::LeftToRight);
    const QImage rightToLeft = band(Qt::RightToLeft);
    ASSERT_FALSE(inkBox(leftToRight, leftToRight.rect()).isEmpty());
    EXPECT_EQ(rightToLeft, leftToRight);
}

} // namespace
} // namespace velmora
