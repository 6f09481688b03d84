#pragma once

#include <QFont>
#include <QHash>
#include <QString>

#include <optional>

namespace velmora {

// How one transcript line is drawn: its font, narrowed by its stretch where
// needed, and how far its painted ink reaches.
struct LineFit {
    QFont font;
    qreal inkRight = 0; // logical pixels from the line's left edge

    // Width in percent of the font's own: 100 where the line fits as it is.
    int stretch() const { return font.stretch() > 0 ? font.stretch() : 100; }
};

// Fits transcript lines into the band left of the controls. A line that
// fits keeps the transcript's font; a wider one is narrowed through the
// font's stretch, which Qt synthesises where the family has no narrower
// face, down to kNarrowest percent, and only beyond that drawn at a smaller
// size, down to a legible one. A line that fits at none is drawn at the
// narrowest and cut off by the band: a clipped line beats a frozen window.
// Narrowed glyphs stay hinted, which keeps small digits crisp.
// All die lines share the fit of the widest possible die line, so that the
// column reads evenly.
//
// Widths are measured on painted pixels at the device pixel ratio, because
// metrics and glyphs part ways at fractional ratios, and narrowed glyphs are
// not exactly proportional.
class LineFitter {
public:
    static constexpr int kNarrowest = 70;

    LineFitter(const QFont& font, qreal bandWidth, qreal devicePixelRatio);

    const QFont& font() const { return m_font; }
    qreal devicePixelRatio() const { return m_ratio; }
    // From one line's top to the next, and from a line's top to its baseline.
    int lineHeight() const { return m_lineHeight; }
    qreal baseline() const { return m_baseline; }
    // How much larger than its logical size an update must be to cover what
    // was painted: below a ratio of 1, Qt paints in device pixels as they
    // are but brings only the scaled-down rectangle to the screen.
    qreal repaintGrowth() const { return m_paintScale / m_ratio; }

    const LineFit& fit(const QString& line);
    const LineFit& dieFit();

    // The right edge of the ink of text painted in font.
    qreal paintedRight(const QFont& font, const QString& text) const;

private:
    LineFit fitFrom(const QString& line, const QFont& font) const;
    QChar widestDigit();

    QFont m_font;
    qreal m_band;
    qreal m_ratio;
    qreal m_paintScale = 1.0; // device pixels per logical pixel while painting
    int m_lineHeight = 0;
    qreal m_baseline = 0;
    std::optional<LineFit> m_dieFit;
    QChar m_widestDigit;
    // By shape: see fit().
    QHash<QString, LineFit> m_fits;
};

} // namespace velmora
