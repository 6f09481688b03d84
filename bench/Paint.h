#pragma once

#include <QApplication>
#include <QEvent>
#include <QObject>
#include <QWidget>

namespace velmora::bench {

// Sends the posted update and waits until the window has really painted.
class PaintWatch : public QObject {
public:
    explicit PaintWatch(QWidget* target) { target->installEventFilter(this); }
    bool painted = false;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint) {
            painted = true;
        }
        return false;
    }
};

inline void waitForPaint(PaintWatch& watch)
{
    while (!watch.painted) {
        QApplication::processEvents(QEventLoop::AllEvents);
    }
}

} // namespace velmora::bench
