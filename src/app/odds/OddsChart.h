#pragma once

#include "app/odds/OddsText.h"

#include <QWidget>

namespace velmora {

// The five curves of the odds table, chance against minimum roll, drawn with
// QPainter: a few lines and labels need no charting library, and the
// package keeps its one Qt module.
class OddsChart : public QWidget {
    Q_OBJECT

public:
    explicit OddsChart(QWidget* parent = nullptr);

    void setOdds(const StepOddsSet& odds, int lastRoll, int chosenLevel);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    // Colour and dash of a level's curve: they differ in both, so that the
    // curves part without colour too.
    QPen curvePen(int level, bool chosen) const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    StepOddsSet m_odds{};
    int m_lastRoll = 1;
    int m_chosen = 0;
};

} // namespace velmora
