#include "app/desktop/IdleTrim.h"

#include <QCoreApplication>
#include <QEvent>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace velmora {

IdleTrim::IdleTrim(QObject* parent) : QObject(parent)
{
    m_timer.setSingleShot(true);
    m_timer.setInterval(kIdleAfter);
    connect(&m_timer, &QTimer::timeout, this, [] { trim(); });
    QCoreApplication::instance()->installEventFilter(this);
}

bool IdleTrim::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::KeyPress:
        // One restart per press, not per event: the filter sees every event.
        if (watched->isWindowType()) {
            m_timer.start();
        }
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

void IdleTrim::trim()
{
#if defined(__GLIBC__)
    malloc_trim(0);
#endif
}

} // namespace velmora
