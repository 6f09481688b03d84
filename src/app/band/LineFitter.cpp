#include "app/band/LineFitter.h"

#include "dice/DieSizes.h"
#include "text/TranscriptText.h"

#include <QFontMetrics>
#include <QFontMetricsF>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

namespace velmora {
namespace {

constexpr qreal kWidestMeasured = 1 << 16;
// Die lines whose metric widths come closest to the widest are measured on
// pixels too, since hinting can reorder lines that are nearly as wide.
constexpr std::size_t kDieCandidates = 3;
// Sizes are searched in quarter points, or whole pixels for a pixel-sized
// font; none below the smallest legible size, unless the font is smaller.
constexpr int kQuartersPerPoint = 4;
constexpr int kSmallestQuarters = 6 * kQuartersPerPoint;
constexpr int kSmallestPixels = 8;

QString qtText(const std::string& text) { return QString::fromStdString(text); }

// A font's size in search units: quarter points, or pixels.
int sizeUnits(const QFont& font)
{
    return font.pointSizeF() > 0 ? static_cast<int>(std::ceil(font.pointSizeF() * kQuartersPerPoint))
                                 : font.pixelSize();
}

QFont withSize(QFont font, int units)
{
    if (font.pointSizeF() > 0) {
        font.setPointSizeF(static_cast<qreal>(units) / kQuartersPerPoint);
    } else {
        font.setPixelSize(units);
    }
    return font;
}

QFont withStretch(QFont font, int stretch)
{
    font.setStretch(stretch);
    return font;
}

bool narrowerThan(const LineFit& a, const LineFit& b)
{
    const auto size = [](const QFont& f) { return f.pointSizeF() > 0 ? f.pointSizeF() : f.pixelSize(); };
    return size(a.font) < size(b.font) || (size(a.font) == size(b.font) && a.stretch() < b.stretch());
}

// A value in [lowest, guess] that passes the test, the largest in the
// stretch of values it is found in; lowest, untested, where none above it
// passes. Every value tried loads a font variant, so the search starts at a
// guess that most often passes at once, and goes down only: galloping, then
// bisecting what is left, at most about twice log2 of the range in all,
// whatever the font. Painted widths are not monotonic in size or stretch
// (hinting rounds each glyph), so the very largest value is not sought.
template <typename Fits>
int fittingAtOrBelow(int lowest, int guess, Fits&& test)
{
    if (guess <= lowest) {
        return lowest;
    }
    if (test(guess)) {
        return guess;
    }
    int fits = lowest;
    int fails = guess;
    for (int step = 1; fails - step > lowest; step *= 2) {
        if (test(fails - step)) {
            fits = fails - step;
            break;
        }
        fails -= step;
    }
    while (fails - fits > 1) {
        const int middle = fits + (fails - fits) / 2;
        if (test(middle)) {
            fits = middle;
        } else {
            fails = middle;
        }
    }
    return fits;
}

// The value below `units` at which `width` would shrink to `room`, were
// widths proportional; hinting widens narrowed text by some per cent.
int proportionalGuess(int units, qreal room, qreal width)
{
    constexpr qreal kHintingAllowance = 1.03;
    const qreal guess = width > 0 ? std::floor(units * room / (width * kHintingAllowance)) : units - 1;
    return static_cast<int>(std::min<qreal>(guess, units - 1));
}

} // namespace

LineFitter::LineFitter(const QFont& font, qreal bandWidth, qreal devicePixelRatio)
    : m_font(font)
    , m_band(bandWidth)
    , m_ratio(devicePixelRatio > 0 ? devicePixelRatio : 1.0)
{
    const QFontMetrics metrics(m_font);
    m_lineHeight = metrics.lineSpacing();
    m_baseline = metrics.ascent();
    // Qt scales painting by ratios above 1 only; below 1 it paints in
    // device pixels as they are.
    QImage probe(1, 1, QImage::Format_ARGB32_Premultiplied);
    probe.setDevicePixelRatio(m_ratio);
    m_paintScale = QPainter(&probe).deviceTransform().m11();
}

qreal LineFitter::paintedRight(const QFont& font, const QString& text) const
{
    if (text.isEmpty()) {
        return 0;
    }
    const QFontMetricsF metrics(font);
    const qreal spacing = metrics.lineSpacing();
    qreal width = metrics.horizontalAdvance(text) + metrics.height();
    for (;;) {
        QImage image(static_cast<int>(std::ceil(width * m_paintScale)),
            static_cast<int>(std::ceil(3 * spacing * m_paintScale)), QImage::Format_ARGB32_Premultiplied);
        if (image.isNull() || width > kWidestMeasured) {
            return width; // nothing sensible to measure in; take the line as wide as its room
        }
        image.setDevicePixelRatio(m_ratio);
        image.fill(Qt::transparent);
        {
            QPainter painter(&image);
            painter.setLayoutDirection(Qt::LeftToRight);
            painter.setFont(font);
            painter.setPen(Qt::black);
            painter.drawText(QPointF(0, 1.5 * spacing), text);
        }
        int right = image.width() - 1;
        for (; right >= 0; --right) {
            bool inked = false;
            for (int y = 0; y < image.height() && !inked; ++y) {
                inked = qAlpha(reinterpret_cast<const QRgb*>(image.constScanLine(y))[right]) != 0;
            }
            if (inked) {
                break;
            }
        }
        if (right < image.width() - 1) {
            return (right + 1) / m_paintScale;
        }
        width *= 2; // the ink reached the edge: measure again with more room
    }
}

LineFit LineFitter::fitFrom(const QString& line, const QFont& font) const
{
    // font is not narrowed yet; only the fit sets a stretch, so that a line
    // that fits keeps the transcript's font exactly. Every search below is
    // bounded by its fixed range, so a fit paints at most about thirty
    // lines, whatever the font, its size or its letter spacing.
    const qreal natural = paintedRight(font, line);
    if (natural <= m_band) {
        return {font, natural};
    }
    // The last font that fitted, which the searches below end on, and its ink.
    LineFit fitted;
    const auto fitsAt = [&](const QFont& f) {
        const qreal right = paintedRight(f, line);
        if (right > m_band) {
            return false;
        }
        fitted = {f, right};
        return true;
    };
    const auto stretchThatFits = [&](const QFont& f, qreal width) {
        return fittingAtOrBelow(
            kNarrowest, proportionalGuess(100, m_band, width), [&](int s) { return fitsAt(withStretch(f, s)); });
    };
    // Narrowing alone, trying whether the narrowest stretch fits only where
    // the search ends there.
    QFont sized = font;
    int stretch = stretchThatFits(font, natural);
    if (stretch == kNarrowest && !fitsAt(withStretch(font, kNarrowest))) {
        const int units = sizeUnits(font);
        const int smallest = std::min(units, font.pointSizeF() > 0 ? kSmallestQuarters : kSmallestPixels);
        if (units <= smallest || !fitsAt(withStretch(withSize(font, smallest), kNarrowest))) {
            // Nothing lets it fit: the narrowest fit, and the band cuts it off.
            const QFont smallestNarrowest = withStretch(withSize(font, smallest), kNarrowest);
            return {smallestNarrowest, paintedRight(smallestNarrowest, line)};
        }
        const qreal narrowed = paintedRight(withStretch(font, kNarrowest), line);
        const int size = fittingAtOrBelow(smallest, proportionalGuess(units, m_band, narrowed),
            [&](int u) { return fitsAt(withStretch(withSize(font, u), kNarrowest)); });
        sized = withSize(font, size);
        // At the size found, the narrowest fits; a wider stretch may too.
        stretch = stretchThatFits(sized, narrowed * size / units * 100 / kNarrowest);
    }
    if (fitted.font != withStretch(sized, stretch)) {
        fitted.font = withStretch(sized, stretch); // the lowest stretch, which the search takes untested
        fitted.inkRight = paintedRight(fitted.font, line);
    }
    return fitted;
}

const LineFit& LineFitter::dieFit()
{
    if (m_dieFit) {
        return *m_dieFit;
    }
    const QFontMetricsF metrics(m_font);
    std::vector<std::pair<qreal, QString>> lines;
    for (const int sides : kDieSizes) {
        for (int face = 1; face <= sides; ++face) {
            const QString line = qtText(text::dieLine(sides, face));
            lines.emplace_back(metrics.tightBoundingRect(line).right(), line);
        }
    }
    const std::size_t count = std::min(kDieCandidates, lines.size());
    std::partial_sort(lines.begin(), lines.begin() + static_cast<std::ptrdiff_t>(count), lines.end(),
        [](const auto& a, const auto& b) { return a.first > b.first; });

    // The column takes the narrowest of its candidates' own fits. Pixel
    // noise can still leave one a pixel too wide at that fit; each round
    // narrows the column for one such line, and a line that cannot be
    // narrowed any further is left for the band to cut off.
    LineFit column = fitFrom(lines.front().second, m_font);
    for (std::size_t i = 1; i < count; ++i) {
        const LineFit own = fitFrom(lines[i].second, m_font);
        if (narrowerThan(own, column)) {
            column = own;
        }
    }
    for (std::size_t round = 0; round < count; ++round) {
        const auto tooWide = std::find_if(lines.begin(), lines.begin() + static_cast<std::ptrdiff_t>(count),
            [&](const auto& line) { return paintedRight(column.font, line.second) > m_band; });
        if (tooWide == lines.begin() + static_cast<std::ptrdiff_t>(count)) {
            break;
        }
        const LineFit own = fitFrom(tooWide->second, withStretch(column.font, 100));
        if (!narrowerThan(own, column)) {
            break;
        }
        column = own;
    }
    column.inkRight = 0;
    for (std::size_t i = 0; i < count; ++i) {
        column.inkRight = std::max(column.inkRight, paintedRight(column.font, lines[i].second));
    }
    m_dieFit = column;
    return *m_dieFit;
}

const LineFit& LineFitter::fit(const QString& line)
{
    if (text::isDieLine(line.toStdString())) {
        return dieFit();
    }
    // Lines that differ only in their digits share the fit of that shape
    // written in the widest digit, so the cache holds the few notices and
    // one entry per length of sum: a bound set by the texts, not by play.
    QString shape = line;
    for (QChar& c : shape) {
        if (c.isDigit()) {
            c = widestDigit();
        }
    }
    const auto known = m_fits.constFind(shape);
    if (known != m_fits.constEnd()) {
        return *known;
    }
    return *m_fits.insert(shape, fitFrom(shape, m_font));
}

QChar LineFitter::widestDigit()
{
    if (m_widestDigit.isNull()) {
        const QFontMetricsF metrics(m_font);
        m_widestDigit = QLatin1Char('0');
        for (char digit = '1'; digit <= '9'; ++digit) {
            if (metrics.horizontalAdvance(QLatin1Char(digit)) > metrics.horizontalAdvance(m_widestDigit)) {
                m_widestDigit = QLatin1Char(digit);
            }
        }
    }
    return m_widestDigit;
}

} // namespace velmora
