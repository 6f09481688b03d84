#include "app/desktop/AfterFirstFrame.h"

#include <QEvent>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <utility>

namespace velmora {
namespace {

constexpr std::chrono::seconds kNeverExposed{10};

class FirstFrame : public QObject {
public:
    FirstFrame(QWidget* window, std::function<void()> then) : QObject(window), m_window(window), m_then(std::move(then))
    {
        // A window not yet shown may have no window of the platform's yet.
        if (!watchExposure()) {
            window->installEventFilter(this);
        }
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == m_window) {
            if (event->type() == QEvent::Show) {
                m_window->removeEventFilter(this);
                watchExposure();
            }
        } else if (event->type() == QEvent::Expose && static_cast<QWindow*>(watched)->isExposed()) {
            // The first expose paints the first frame; a timer started now runs after it.
            watched->removeEventFilter(this);
            QTimer::singleShot(kFrameSettles, this, &FirstFrame::run);
        }
        return QObject::eventFilter(watched, event);
    }

private:
    bool watchExposure()
    {
        QWindow* platform = m_window->windowHandle();
        if (platform == nullptr) {
            return false;
        }
        if (platform->isExposed()) {
            // Asked for after the first frame: no first expose is to come.
            QTimer::singleShot(kFrameSettles, this, &FirstFrame::run);
            return true;
        }
        platform->installEventFilter(this);
        // Not sooner: a slow start, as under a profiler, must not run it
        // before the first frame.
        QTimer::singleShot(kNeverExposed, this, &FirstFrame::run);
        return true;
    }

    void run()
    {
        if (m_then) {
            std::exchange(m_then, nullptr)();
        }
        deleteLater();
    }

    QWidget* m_window;
    std::function<void()> m_then;
};

} // namespace

void afterFirstFrame(QWidget* window, std::function<void()> then) { new FirstFrame(window, std::move(then)); }

} // namespace velmora
