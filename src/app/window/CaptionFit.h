#pragma once

#include <QObject>

class QPushButton;

namespace velmora {

// Keeps a button's caption whole inside the button's contents, clear of its
// frame: a caption wider than that is narrowed as the transcript's lines are,
// and fitted again whenever its size, font, style or pixel ratio changes.
// The button keeps its size and, where the caption fits, its font.
class CaptionFit : public QObject {
    Q_OBJECT

public:
    explicit CaptionFit(QPushButton* button);

    void refit();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPushButton* m_button;
    bool m_fitting = false;
};

} // namespace velmora
