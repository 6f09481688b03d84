#include "app/window/ButtonGrid.h"

#include <QPushButton>

#include <algorithm>
#include <cstdlib>

namespace velmora {

ButtonGrid::ButtonGrid(const QList<QPushButton*>& buttons)
{
    for (QPushButton* button : buttons) {
        const QRect place = button->geometry();
        auto column = std::find_if(m_columns.begin(), m_columns.end(), [&place](const QList<QPushButton*>& c) {
            const QRect other = c.front()->geometry();
            return place.left() <= other.right() && other.left() <= place.right();
        });
        if (column == m_columns.end()) {
            m_columns.append({button});
        } else {
            column->append(button);
        }
    }
    for (auto& column : m_columns) {
        std::sort(column.begin(), column.end(),
            [](QPushButton* a, QPushButton* b) { return a->geometry().top() < b->geometry().top(); });
    }
    std::sort(m_columns.begin(), m_columns.end(), [](const QList<QPushButton*>& a, const QList<QPushButton*>& b) {
        return a.front()->geometry().left() < b.front()->geometry().left();
    });
}

QPushButton* ButtonGrid::neighbour(QPushButton* from, Qt::Key key) const
{
    for (qsizetype c = 0; c < m_columns.size(); ++c) {
        const QList<QPushButton*>& column = m_columns[c];
        const qsizetype row = column.indexOf(from);
        if (row < 0) {
            continue;
        }
        switch (key) {
        case Qt::Key_Up:
            return column[std::max<qsizetype>(row - 1, 0)];
        case Qt::Key_Down:
            return column[std::min(row + 1, column.size() - 1)];
        case Qt::Key_Left:
        case Qt::Key_Right: {
            const qsizetype next = c + (key == Qt::Key_Left ? -1 : 1);
            if (next < 0 || next >= m_columns.size()) {
                return from;
            }
            const int height = from->geometry().center().y();
            return *std::min_element(
                m_columns[next].begin(), m_columns[next].end(), [height](QPushButton* a, QPushButton* b) {
                    return std::abs(a->geometry().center().y() - height)
                        < std::abs(b->geometry().center().y() - height);
                });
        }
        default:
            return nullptr;
        }
    }
    return nullptr;
}

} // namespace velmora
