#include "app/access/FocusedItem.h"

#include <QAbstractItemView>
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

void tellFocusedCellLater(QAbstractItemView* table)
{
    tellFocusedItemLater(table, [table] {
        const QModelIndex current = table->currentIndex();
        QAccessibleInterface* view = QAccessible::queryAccessibleInterface(table);
        if (!current.isValid() || view == nullptr || view->tableInterface() == nullptr) {
            return -1;
        }
        QAccessibleInterface* cell = view->tableInterface()->cellAt(current.row(), current.column());
        return cell != nullptr ? view->indexOfChild(cell) : -1;
    });
}

} // namespace velmora
