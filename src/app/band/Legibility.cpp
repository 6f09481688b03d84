#include "app/band/Legibility.h"

#include <algorithm>
#include <cmath>

namespace velmora {
namespace {

double luminance(const QColor& colour)
{
    const auto channel = [](double c) { return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4); };
    const QColor rgb = colour.toRgb();
    return 0.2126 * channel(rgb.redF()) + 0.7152 * channel(rgb.greenF()) + 0.0722 * channel(rgb.blueF());
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
    const QColor candidates[] = {QColor(1, 0, 66), QColor(64, 64, 64), palette.color(QPalette::WindowText),
        QColor(Qt::black), QColor(Qt::white)};
    for (const QColor& candidate : candidates) {
        if (contrastRatio(candidate, surface) >= kTranscriptContrast) {
            return candidate;
        }
    }
    return contrastRatio(Qt::black, surface) > contrastRatio(Qt::white, surface) ? QColor(Qt::black)
                                                                                 : QColor(Qt::white);
}

} // namespace velmora
