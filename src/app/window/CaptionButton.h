#pragma once

#include <QFont>
#include <QPushButton>
#include <QSizeF>
#include <QString>

namespace velmora {

// A push button whose caption stays whole inside its contents, clear of the
// frame: a caption wider than that is drawn narrowed, down to
// kNarrowest percent, and only beyond that smaller as well. The button keeps
// its size and its font, and the style draws everything else as usual.
//
// The caption is narrowed by the painter rather than through the font's
// stretch: a stretched font is a font of its own, which costs a font match
// and a glyph set before the window's first frame.
class CaptionButton : public QPushButton {
    Q_OBJECT

public:
    static constexpr qreal kNarrowest = 0.7;

    explicit CaptionButton(const QString& text, QWidget* parent = nullptr);

    // How the caption is scaled, across and up, to fit: (1, 1) where it
    // fits as it is. Follows the button's size, font, style and pixel ratio.
    QSizeF captionScale() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QRect captionRoom() const;

    // The last fit, and what it was made for.
    mutable QString m_fittedText;
    mutable QFont m_fittedFont;
    mutable QSize m_fittedRoom;
    mutable qreal m_fittedRatio = 0;
    mutable QSizeF m_scale{1, 1};
};

} // namespace velmora
