#pragma once

#include <QLayout>
#include <QList>

namespace velmora {

// Lays its items out in a row, and in further rows where the row is
// narrower than they are: a row of buttons that never makes its window
// wider than the screen, whatever the font.
class FlowLayout : public QLayout {
public:
    explicit FlowLayout(QWidget* parent = nullptr);
    ~FlowLayout() override;

    void addItem(QLayoutItem* item) override;
    // A layout as one item, kept whole on its row.
    void addLayout(QLayout* layout);
    int count() const override { return static_cast<int>(m_items.size()); }
    QLayoutItem* itemAt(int index) const override { return m_items.value(index); }
    QLayoutItem* takeAt(int index) override;

    Qt::Orientations expandingDirections() const override { return {}; }
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override { return arrange(QRect(0, 0, width, 0), false); }
    QSize minimumSize() const override;
    QSize sizeHint() const override;
    void setGeometry(const QRect& rect) override;

private:
    // Between items: the layout's spacing, or else the style's.
    int gap() const;
    // Places the items in rect where `place`; the height they take either way.
    int arrange(const QRect& rect, bool place) const;

    QList<QLayoutItem*> m_items;
};

// A dock lays its view out without asking how high wrapped rows are at its
// width: the view's least height made what its rows need there, with
// `stretchy` (a table, say) at its least. Call on every resize.
void fitWrappedRows(QWidget* view, const QWidget* stretchy);

} // namespace velmora
