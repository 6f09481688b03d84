#include "transcript/TranscriptLayout.h"

#include "dice/DiceEngine.h"
#include "transcript/TranscriptText.h"

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

constexpr qreal kPointStep = 0.25;
constexpr qsizetype kMaxCachedFits = 4096;
constexpr qreal kWidestMeasured = 1 << 16;
// Die lines whose metric widths come closest to the widest are measured on
// pixels too, since hinting can reorder lines that are nearly as wide.
constexpr std::size_t kDieCandidates = 3;

QString qtText(const std::string& text)
{
    return QString::fromStdString(text);
}

// One step smaller than font, by about ratio; none below one point or pixel.
std::optional<QFont> smallerFont(QFont font, qreal ratio)
{
    if (font.pointSizeF() > 0) {
        const qreal size = std::min(std::floor(font.pointSizeF() * ratio / kPointStep) * kPointStep,
            font.pointSizeF() - kPointStep);
        if (size < 1.0) {
            return std::nullopt;
        }
        font.setPointSizeF(size);
        return font;
    }
    const int size = std::min(static_cast<int>(std::floor(font.pixelSize() * ratio)), font.pixelSize() - 1);
    if (size < 1) {
        return std::nullopt;
    }
    font.setPixelSize(size);
    return font;
}

bool narrowerThan(const LineFit& a, const LineFit& b)
{
    const auto size = [](const QFont& f) { return f.pointSizeF() > 0 ? f.pointSizeF() : f.pixelSize(); };
    return size(a.font) < size(b.font) || (size(a.font) == size(b.font) && a.stretch() < b.stretch());
}

} // namespace

TranscriptLayout::TranscriptLayout(const QFont& font, qreal bandWidth, qreal devicePixelRatio)
    : m_font(font), m_band(bandWidth), m_ratio(devicePixelRatio > 0 ? devicePixelRatio : 1.0)
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

qreal TranscriptLayout::paintedRight(const QFont& font, const QString& text) const
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

LineFit TranscriptLayout::fitFrom(const QString& line, QFont font) const
{
    // font is not narrowed yet; only the fit sets a stretch, so that a line
    // that fits keeps the transcript's font exactly.
    const auto at = [&font](int stretch) {
        QFont narrowed = font;
        narrowed.setStretch(stretch);
        return narrowed;
    };
    for (;;) {
        const qreal natural = paintedRight(font, line);
        if (natural <= m_band) {
            return {font, natural};
        }
        // Synthetic narrowing is not exactly proportional: start from the
        // proportional guess and settle on painted pixels.
        int stretch = static_cast<int>(std::floor(100 * m_band / natural));
        qreal right = paintedRight(at(stretch), line);
        if (right <= m_band) {
            for (qreal wider = 0; stretch < 99 && (wider = paintedRight(at(stretch + 1), line)) <= m_band;) {
                ++stretch;
                right = wider;
            }
        } else {
            while (stretch > kNarrowest && right > m_band) {
                right = paintedRight(at(--stretch), line);
            }
        }
        if (stretch >= kNarrowest && right <= m_band) {
            return {at(stretch), right};
        }
        const std::optional<QFont> smaller = smallerFont(font, 100 * m_band / (natural * kNarrowest));
        if (!smaller) {
            return {at(kNarrowest), paintedRight(at(kNarrowest), line)};
        }
        font = *smaller;
    }
}

const LineFit& TranscriptLayout::dieFit()
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

    LineFit column = fitFrom(lines.front().second, m_font);
    for (bool settled = false; !settled;) {
        settled = true;
        column.inkRight = 0;
        for (std::size_t i = 0; i < count && settled; ++i) {
            const QString& line = lines[i].second;
            const qreal right = paintedRight(column.font, line);
            if (right <= m_band) {
                column.inkRight = std::max(column.inkRight, right);
                continue;
            }
            // Another line needs the column narrower than the widest did.
            QFont start = m_font;
            if (column.font.pointSizeF() > 0) {
                start.setPointSizeF(column.font.pointSizeF());
            } else {
                start.setPixelSize(column.font.pixelSize());
            }
            const LineFit own = fitFrom(line, start);
            if (narrowerThan(own, column)) {
                column = own;
            } else {
                column.font.setStretch(std::max(1, column.stretch() - 1)); // pixel noise at nearly the same width
            }
            settled = false;
        }
    }
    m_dieFit = column;
    return *m_dieFit;
}

const LineFit& TranscriptLayout::fit(const QString& line)
{
    if (text::isDieLine(line.toStdString())) {
        return dieFit();
    }
    const auto known = m_fits.constFind(line);
    if (known != m_fits.constEnd()) {
        return *known;
    }
    if (m_fits.size() >= kMaxCachedFits) {
        m_fits.clear();
    }
    return *m_fits.insert(line, fitFrom(line, m_font));
}

} // namespace velmora
