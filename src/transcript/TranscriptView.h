#pragma once

#include "transcript/TranscriptModel.h"

#include <QWidget>

namespace velmora {

// Draws the kept lines of the latest roll on the window's surface, beneath
// the controls, and offers them to assistive technology.
class TranscriptView : public QWidget {
    Q_OBJECT

public:
    TranscriptView(const TranscriptModel& model, QWidget* parent = nullptr);

    // All lines of the latest roll, one per line of text.
    QString text() const;
    int lineHeight() const;
    // Call after every roll: repaints and tells assistive technology.
    void transcriptChanged();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QRect linesExtent() const;

    const TranscriptModel& m_model;
    QRect m_paintedExtent;
    QString m_announced;
};

} // namespace velmora
