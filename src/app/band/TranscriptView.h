#pragma once

#include "app/band/LineFitter.h"
#include "text/TranscriptModel.h"

#include <QWidget>

#include <optional>

namespace velmora {

// Draws the kept lines of the latest roll on the window's surface, beneath
// the controls, and offers them to assistive technology.
class TranscriptView : public QWidget {
    Q_OBJECT

public:
    // Lines are fitted into the bandWidth pixels left of the controls.
    TranscriptView(const TranscriptModel& model, int bandWidth, QWidget* parent = nullptr);

    // As the board's scale changes.
    void setBandWidth(int bandWidth);
    // All lines of the latest roll, one per line of text.
    QString text() const;
    int lineHeight();
    // How lines are fitted into the band in the current font and pixel ratio.
    LineFitter& lineLayout();
    // Where the lines stand, for assistive technology: the band down to the
    // last line; the box of the character at an offset of text(); the offset
    // of the character at a point (-1 where there is none). Widget pixels.
    QRect textExtent();
    QRect characterBox(int offset);
    int offsetAt(const QPoint& point);
    // Call after every roll: repaints and tells assistive technology.
    void transcriptChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    QRect linesExtent();

    const TranscriptModel& m_model;
    int m_bandWidth;
    std::optional<LineFitter> m_layout;
    QRect m_extent;
    QString m_announced;
    bool m_telling = false;
    bool m_fitPrepared = false;
};

} // namespace velmora
