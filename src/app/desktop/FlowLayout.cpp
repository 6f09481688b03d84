#include "app/desktop/FlowLayout.h"

#include <QStyle>
#include <QWidget>

#include <algorithm>

namespace velmora {

FlowLayout::FlowLayout(QWidget* parent) : QLayout(parent) { setContentsMargins(0, 0, 0, 0); }

int FlowLayout::gap() const
{
    if (spacing() >= 0) {
        return spacing();
    }
    const QWidget* widget = parentWidget();
    return widget != nullptr ? std::max(0, widget->style()->pixelMetric(QStyle::PM_LayoutHorizontalSpacing)) : 6;
}

FlowLayout::~FlowLayout()
{
    while (QLayoutItem* item = takeAt(0)) {
        delete item;
    }
}

void FlowLayout::addItem(QLayoutItem* item) { m_items.append(item); }

void FlowLayout::addLayout(QLayout* layout)
{
    addChildLayout(layout);
    addItem(layout);
}

QLayoutItem* FlowLayout::takeAt(int index)
{
    return index >= 0 && index < m_items.size() ? m_items.takeAt(index) : nullptr;
}

QSize FlowLayout::minimumSize() const
{
    // The widest single item: narrower than that nothing can go.
    QSize size;
    for (const QLayoutItem* item : m_items) {
        size = size.expandedTo(item->minimumSize());
    }
    const QMargins margins = contentsMargins();
    return size + QSize(margins.left() + margins.right(), margins.top() + margins.bottom());
}

QSize FlowLayout::sizeHint() const
{
    // All in one row.
    int width = 0;
    int height = 0;
    for (const QLayoutItem* item : m_items) {
        width += item->sizeHint().width() + (width > 0 ? gap() : 0);
        height = std::max(height, item->sizeHint().height());
    }
    const QMargins margins = contentsMargins();
    return {width + margins.left() + margins.right(), height + margins.top() + margins.bottom()};
}

void FlowLayout::setGeometry(const QRect& rect)
{
    QLayout::setGeometry(rect);
    arrange(rect, true);
}

int FlowLayout::arrange(const QRect& rect, bool place) const
{
    const QRect area = rect.marginsRemoved(contentsMargins());
    const int between = gap();
    const bool mirrored = parentWidget() != nullptr && parentWidget()->layoutDirection() == Qt::RightToLeft;
    int x = area.left();
    int y = area.top();
    int rowHeight = 0;
    for (QLayoutItem* item : m_items) {
        if (item->isEmpty()) {
            continue;
        }
        // No wider than the row; a wrapping label as high as it then is.
        QSize size = item->sizeHint().boundedTo(QSize(std::max(1, area.width()), item->sizeHint().height()));
        if (item->hasHeightForWidth()) {
            size.setHeight(item->heightForWidth(size.width()));
        }
        if (x > area.left() && x + size.width() > area.right() + 1) {
            x = area.left();
            y += rowHeight + between;
            rowHeight = 0;
        }
        if (place) {
            QRect at(QPoint(x, y), size);
            if (mirrored) {
                at.moveLeft(area.left() + area.right() - at.right());
            }
            item->setGeometry(at);
        }
        x += size.width() + between;
        rowHeight = std::max(rowHeight, size.height());
    }
    return y + rowHeight - rect.top() + contentsMargins().bottom();
}

void fitWrappedRows(QWidget* view, const QWidget* stretchy)
{
    const QLayout* layout = view->layout();
    if (layout == nullptr || !layout->hasHeightForWidth()) {
        return;
    }
    const int least = layout->totalHeightForWidth(view->width()) - stretchy->sizeHint().height()
        + stretchy->minimumSizeHint().height();
    if (least != view->minimumHeight()) {
        view->setMinimumHeight(least);
    }
}

} // namespace velmora
