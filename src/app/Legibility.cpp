#include "app/Legibility.h"

#include "karma/KarmaState.h"
#include "transcript/TranscriptModel.h"
#include "transcript/TranscriptText.h"

#include <QFontMetricsF>

#include <algorithm>
#include <array>
#include <map>
#include <cmath>
#include <vector>

namespace velmora {
namespace {

double luminance(const QColor& colour)
{
    const auto channel = [](double c) {
        return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    const QColor rgb = colour.toRgb();
    return 0.2126 * channel(rgb.redF()) + 0.7152 * channel(rgb.greenF())
        + 0.0722 * channel(rgb.blueF());
}

QChar widestDigit(const QFontMetricsF& metrics)
{
    QChar widest = QLatin1Char('0');
    qreal width = metrics.horizontalAdvance(widest);
    for (char d = '1'; d <= '9'; ++d) {
        const qreal w = metrics.horizontalAdvance(QLatin1Char(d));
        if (w > width) {
            widest = QLatin1Char(d);
            width = w;
        }
    }
    return widest;
}

// Shaping a line is slow; the sum of its glyph advances is cheap and never
// smaller, as kerning only narrows Latin text. So a line whose sum stays
// within the band fits, and only the others need shaping.
class LineWidths {
public:
    LineWidths(const QFont& font, const QStringList& lines) : m_metrics(font), m_lines(lines)
    {
        m_latin1.fill(-1);
        for (const QString& line : lines) {
            qreal total = 0;
            for (const QChar c : line) {
                total += advance(c);
            }
            m_sums.push_back(total);
        }
    }

    qreal widestSum() const { return *std::max_element(m_sums.begin(), m_sums.end()); }

    bool fitWithin(qreal limit) const
    {
        for (std::size_t i = 0; i < m_sums.size(); ++i) {
            if (m_sums[i] > limit
                && m_metrics.horizontalAdvance(m_lines[static_cast<qsizetype>(i)]) > limit) {
                return false;
            }
        }
        return true;
    }

private:
    qreal advance(QChar c)
    {
        if (c.unicode() < m_latin1.size()) {
            qreal& cached = m_latin1[c.unicode()];
            if (cached < 0) {
                cached = m_metrics.horizontalAdvance(c);
            }
            return cached;
        }
        return m_metrics.horizontalAdvance(c);
    }

    QFontMetricsF m_metrics;
    const QStringList& m_lines;
    std::array<qreal, 256> m_latin1{};
    std::vector<qreal> m_sums;
};

} // namespace

double contrastRatio(const QColor& a, const QColor& b)
{
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor transcriptTextColour(const QPalette& palette)
{
    // The design's dark blue and dark grey read well on a light surface; on
    // a dark scheme the palette's own text colour takes over.
    const QColor surface = palette.color(QPalette::Window);
    const QColor candidates[] = {QColor(1, 0, 66), QColor(64, 64, 64),
        palette.color(QPalette::WindowText), QColor(Qt::black), QColor(Qt::white)};
    for (const QColor& candidate : candidates) {
        if (contrastRatio(candidate, surface) >= kTranscriptContrast) {
            return candidate;
        }
    }
    return contrastRatio(Qt::black, surface) > contrastRatio(Qt::white, surface) ? QColor(Qt::black)
                                                                                 : QColor(Qt::white);
}

QStringList widestTranscriptLines(const QFont& font)
{
    // Every number is written with the widest digit: no real line is wider.
    const QString digit(widestDigit(QFontMetricsF(font)));
    const QString face = digit.repeated(2);
    QStringList lines;
    for (const int sides : {4, 6, 8, 10, 12, 20}) {
        lines << QString::fromStdString(text::dieLine(sides, 0)).chopped(1) + face.left(sides < 10 ? 1 : 2);
    }
    // Totals below 1000, in both forms of the sum line.
    const QString total = digit.repeated(3);
    const QString sum = QString::fromStdString(text::sumLine(0, 0)).chopped(1) + total;
    lines << sum << sum + QStringLiteral(" (") + total + QStringLiteral("-1)")
          << sum + QStringLiteral(" (") + total + QStringLiteral("-2)");
    for (const KarmaLevel& level : karmaTable()) {
        lines << QString::fromUtf8(level.line);
    }
    lines << QString::fromStdString(text::fumbleLine());
    for (const auto kind : {RollError::Kind::Overflow, RollError::Kind::FloatingPoint,
             RollError::Kind::KarmaNotANumber, RollError::Kind::InvalidDieSize}) {
        const std::string message = text::errorLine(kind);
        for (const auto piece : TranscriptModel::splitPieces(message)) {
            lines << QString::fromUtf8(piece.data(), static_cast<qsizetype>(piece.size()));
        }
    }
    return lines;
}

QFont fitTranscriptFont(const QFont& base, int bandWidth)
{
    constexpr double kStep = 0.25;
    constexpr double kSmallest = 5.0;
    if (base.pointSizeF() <= 0) {
        return base; // sized in pixels by the platform; leave it alone
    }
    const QStringList lines = widestTranscriptLines(base);
    const LineWidths atBase(base, lines);
    if (atBase.fitWithin(bandWidth)) {
        return base;
    }
    std::map<double, bool> tried;
    const auto fitsAt = [&](double size) {
        const auto known = tried.find(size);
        if (known != tried.end()) {
            return known->second;
        }
        QFont font = base;
        font.setPointSizeF(size);
        return tried[size] = LineWidths(font, lines).fitWithin(bandWidth);
    };
    // Widths grow about in proportion to the size: start near the answer,
    // then settle it on the quarter-point grid by measuring.
    double size = std::floor(base.pointSizeF() * bandWidth / atBase.widestSum() / kStep) * kStep;
    size = std::clamp(size, kSmallest, base.pointSizeF() - kStep);
    while (!fitsAt(size) && size - kStep >= kSmallest) {
        size -= kStep;
    }
    while (size + kStep < base.pointSizeF() && fitsAt(size + kStep)) {
        size += kStep;
    }
    QFont font = base;
    font.setPointSizeF(size);
    return font;
}

} // namespace velmora
