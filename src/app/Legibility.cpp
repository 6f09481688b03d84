#include "app/Legibility.h"

#include "karma/KarmaState.h"
#include "transcript/TranscriptModel.h"
#include "transcript/TranscriptText.h"

#include <QFontMetricsF>

#include <algorithm>
#include <cmath>

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

QString fromUtf8(const std::string& text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QChar widestDigit(const QFontMetricsF& metrics)
{
    QChar widest = QLatin1Char('0');
    for (char d = '1'; d <= '9'; ++d) {
        if (metrics.horizontalAdvance(QLatin1Char(d)) > metrics.horizontalAdvance(widest)) {
            widest = QLatin1Char(d);
        }
    }
    return widest;
}

bool fits(const QFont& font, int bandWidth)
{
    const QFontMetricsF metrics(font);
    const QStringList lines = widestTranscriptLines(font);
    return std::all_of(lines.begin(), lines.end(), [&](const QString& line) {
        return metrics.horizontalAdvance(line) <= bandWidth;
    });
}

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
    QStringList lines;
    for (const int sides : {4, 6, 8, 10, 12, 20}) {
        for (int face = 1; face <= sides; ++face) {
            lines << fromUtf8(text::dieLine(sides, face));
        }
    }
    // Totals below 1000, every digit replaced by the widest one.
    const QString digit(widestDigit(QFontMetricsF(font)));
    const QString prefix = fromUtf8(text::sumLine(0, 0)).chopped(1);
    for (int digits = 1; digits <= 3; ++digits) {
        const QString number = digit.repeated(digits);
        lines << prefix + number;
        for (const int modifier : {1, 2}) {
            lines << prefix + number + QStringLiteral(" (") + number + QStringLiteral("-%1)").arg(modifier);
        }
    }
    for (const KarmaLevel& level : karmaTable()) {
        lines << QString::fromUtf8(level.line);
    }
    lines << fromUtf8(text::fumbleLine());
    for (const auto kind : {RollError::Kind::Overflow, RollError::Kind::FloatingPoint,
             RollError::Kind::KarmaNotANumber, RollError::Kind::InvalidDieSize}) {
        const std::string message = text::errorLine(kind);
        for (const auto piece : TranscriptModel::splitPieces(message)) {
            lines << fromUtf8(std::string(piece));
        }
    }
    return lines;
}

QFont fitTranscriptFont(const QFont& base, int bandWidth)
{
    constexpr double kStep = 0.25;
    constexpr double kSmallest = 5.0;
    QFont font = base;
    if (font.pointSizeF() <= 0) {
        return font; // sized in pixels by the platform; leave it alone
    }
    while (!fits(font, bandWidth) && font.pointSizeF() - kStep >= kSmallest) {
        font.setPointSizeF(font.pointSizeF() - kStep);
    }
    return font;
}

} // namespace velmora
