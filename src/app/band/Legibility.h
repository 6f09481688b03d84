#pragma once

#include <QColor>
#include <QPalette>

namespace velmora {

// WCAG contrast ratio of two colours, 1 to 21.
double contrastRatio(const QColor& a, const QColor& b);

inline constexpr double kTranscriptContrast = 7.0;

// The transcript's text colour on the window surface of this palette.
QColor transcriptTextColour(const QPalette& palette);

} // namespace velmora
