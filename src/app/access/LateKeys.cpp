#include "app/access/LateKeys.h"

#include <QApplication>
#include <QEvent>
#include <QWidget>

namespace velmora {

bool LateKeys::eventFilter(QObject* watched, QEvent* event)
{
    // The window system's own keys come as spontaneous events; only posted
    // ones can arrive after their widget has gone out of sight.
    if ((event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease) || event->spontaneous()
        || !watched->isWidgetType()) {
        return false;
    }
    auto* widget = static_cast<QWidget*>(watched);
    QWidget* now = QApplication::focusWidget();
    if (widget->isVisible() || now == nullptr || now == widget || !now->isVisible()) {
        return false;
    }
    QCoreApplication::sendEvent(now, event);
    return true;
}

} // namespace velmora
