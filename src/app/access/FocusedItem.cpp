#include "app/access/FocusedItem.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QItemSelectionModel>
#include <QMetaObject>
#include <QPointer>
#include <QWidget>

#include <algorithm>

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

namespace {

class CurrentWithFocus : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        auto* table = static_cast<QAbstractItemView*>(watched);
        QItemSelectionModel* selection = table->selectionModel();
        if (event->type() == QEvent::FocusIn && selection != nullptr) {
            // Before the view's own, which would make the first cell current.
            const int row = chosenRow(table);
            if (row >= 0) {
                const int column = std::max(0, m_column);
                selection->setCurrentIndex(table->model()->index(row, column), QItemSelectionModel::NoUpdate);
            }
        } else if (event->type() == QEvent::FocusOut && selection != nullptr) {
            m_column = selection->currentIndex().column();
            selection->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
        }
        return false;
    }

private:
    int m_column = 0;
};

class CellOnFocus : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::FocusIn) {
            tellFocusedCellLater(static_cast<QAbstractItemView*>(watched));
        }
        return false;
    }
};

class DialogFocus : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::WindowActivate && qobject_cast<QDialog*>(watched) != nullptr
            && QAccessible::isActive()) {
            QPointer<QWidget> dialog = static_cast<QWidget*>(watched);
            QMetaObject::invokeMethod(
                this,
                [dialog] {
                    QWidget* focused = QApplication::focusWidget();
                    if (!dialog.isNull() && dialog->isActiveWindow() && focused != nullptr
                        && focused->window() == dialog) {
                        QAccessibleEvent focus(focused, QAccessible::Focus);
                        QAccessible::updateAccessibility(&focus);
                    }
                },
                Qt::QueuedConnection);
        }
        return false;
    }
};

} // namespace

void tellDialogFocusWhenActive(QObject* owner)
{
    QCoreApplication::instance()->installEventFilter(new DialogFocus(owner));
}

void keepCurrentWithFocus(QAbstractItemView* table) { table->installEventFilter(new CurrentWithFocus(table)); }

void tellCellOnFocus(QAbstractItemView* table) { table->installEventFilter(new CellOnFocus(table)); }

void chooseRow(QAbstractItemView* table, int row)
{
    const QModelIndex index = table->model()->index(row, 0);
    QItemSelectionModel* selection = table->selectionModel();
    selection->select(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    if (table->hasFocus()) {
        const int column = std::max(0, selection->currentIndex().column());
        selection->setCurrentIndex(table->model()->index(row, column), QItemSelectionModel::NoUpdate);
    }
}

int chosenRow(const QAbstractItemView* table)
{
    const QModelIndex current = table->selectionModel()->currentIndex();
    if (current.isValid()) {
        return current.row();
    }
    const QModelIndexList rows = table->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.front().row();
}

void tellCellRenamed(QAbstractItemView* table, int row, int column)
{
    if (!QAccessible::isActive()) {
        return;
    }
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(table);
    QAccessibleTableInterface* cells = face != nullptr ? face->tableInterface() : nullptr;
    QAccessibleInterface* cell = cells != nullptr ? cells->cellAt(row, column) : nullptr;
    if (cell != nullptr) {
        QAccessibleEvent event(cell, QAccessible::NameChanged);
        QAccessible::updateAccessibility(&event);
    }
}

} // namespace velmora
