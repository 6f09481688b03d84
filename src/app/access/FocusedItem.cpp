#include "app/access/FocusedItem.h"

#include <QAccessible>
#include <QMetaObject>
#include <QWidget>

#include <utility>

namespace velmora {

void tellFocusedItemLater(QWidget* view, std::function<int()> child)
{
    if (!QAccessible::isActive()) {
        return;
    }
    QMetaObject::invokeMethod(
        view,
        [view, child = std::move(child)] {
            const int index = view->hasFocus() ? child() : -1;
            if (index >= 0) {
                QAccessibleEvent focus(view, QAccessible::Focus);
                focus.setChild(index);
                QAccessible::updateAccessibility(&focus);
            }
        },
        Qt::QueuedConnection);
}

} // namespace velmora
