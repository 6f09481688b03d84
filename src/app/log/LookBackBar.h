#pragma once

#include "app/store/Keeper.h"
#include "odds/Evening.h"

#include <QWidget>

class QComboBox;
class QDateEdit;
class QSpinBox;
class QTimer;

namespace velmora {

// Which rolls the log shows: a character, a talent, a step, an evening,
// a range of days, each typed or chosen; nothing chosen shows them all.
class LookBackBar : public QWidget {
    Q_OBJECT

public:
    explicit LookBackBar(QWidget* parent = nullptr);

    RollFilter filter() const;
    // The evenings and names to choose from, as the latest look back found
    // them; what is chosen stays chosen.
    void offer(const LookedBack& looked);
    // Everything chosen let go: every roll again.
    void reset();
    // The first of its fields focused.
    void focusFirst();

    // In the order Tab reaches them.
    QList<QWidget*> fields() const;

    QComboBox* character() const { return m_character; }
    QComboBox* talent() const { return m_talent; }
    QSpinBox* step() const { return m_step; }
    QComboBox* evening() const { return m_evening; }
    QDateEdit* from() const { return m_from; }
    QDateEdit* to() const { return m_to; }

signals:
    // A moment after the last change, so that typing does not look back
    // at every letter.
    void filterChanged(const velmora::RollFilter& filter);

private:
    void changed();

    QComboBox* m_character;
    QComboBox* m_talent;
    QSpinBox* m_step;
    QComboBox* m_evening;
    QDateEdit* m_from;
    QDateEdit* m_to;
    QTimer* m_settle;
    QWidget* m_all = nullptr;
    std::vector<PastEvening> m_evenings;
    RollFilter m_told;
};

} // namespace velmora
