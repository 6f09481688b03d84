#include "app/desktop/AfterFirstFrame.h"

#include <QEvent>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <utility>

namespace velmora {
namespace {

class FirstFrame : public QObject {
public:
    FirstFrame(QWidget* window, std::function<void()> then) : QObject(window), m_then(std::move(then))
    {
        if (window->windowHandle() != nullptr) {
            window->windowHandle()->installEventFilter(this);
        }
        QTimer::singleShot(1000, this, &FirstFrame::run);
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        // The first expose paints the first frame; a timer started now runs after it.
        if (event->type() == QEvent::Expose) {
            watched->removeEventFilter(this);
            QTimer::singleShot(kFrameSettles, this, &FirstFrame::run);
        }
        return QObject::eventFilter(watched, event);
    }

private:
    void run()
    {
        if (m_then) {
            std::exchange(m_then, nullptr)();
        }
        deleteLater();
    }

    std::function<void()> m_then;
};

} // namespace

void afterFirstFrame(QWidget* window, std::function<void()> then) { new FirstFrame(window, std::move(then)); }

} // namespace velmora
