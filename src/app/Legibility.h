#pragma once

#include <QColor>
#include <QFont>
#include <QPalette>
#include <QStringList>

namespace velmora {

// WCAG contrast ratio of two colours, 1 to 21.
double contrastRatio(const QColor& a, const QColor& b);

inline constexpr double kTranscriptContrast = 7.0;

// The transcript's text colour on the window surface of this palette.
QColor transcriptTextColour(const QPalette& palette);

// The widest lines a roll can write that must stay inside the band.
QStringList widestTranscriptLines(const QFont& font);

// The default font, or the largest smaller size at which those lines fit
// into bandWidth pixels.
QFont fitTranscriptFont(const QFont& base, int bandWidth);

} // namespace velmora
