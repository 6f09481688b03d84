#include "app/EnterKeyClick.h"

#include <QKeyEvent>
#include <QPushButton>

namespace velmora {

bool EnterKeyClick::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        auto* button = qobject_cast<QPushButton*>(watched);
        if (button != nullptr && key->modifiers() == Qt::NoModifier
            && (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)) {
            button->click();
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

} // namespace velmora
