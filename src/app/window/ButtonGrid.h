#pragma once

#include <QList>
#include <Qt>

class QPushButton;

namespace velmora {

// The buttons as the eye sees them: columns of buttons whose spans overlap,
// top to bottom. Up and Down move within a column, Left and Right to the
// button of the next column nearest in height.
class ButtonGrid {
public:
    explicit ButtonGrid(const QList<QPushButton*>& buttons);

    // The button an arrow key moves to from `from`; `from` itself at an edge,
    // nullptr for a button or key that the grid does not know.
    QPushButton* neighbour(QPushButton* from, Qt::Key key) const;

private:
    QList<QList<QPushButton*>> m_columns;
};

} // namespace velmora
