#pragma once

#include <QWidget>

#include <array>

class QTableWidget;

namespace velmora {

// Tonight's luck in ten bands of 10 %, as bars beside a line of what fair
// dice give in each, drawn as the odds window draws its curves.
class LuckChart : public QWidget {
    Q_OBJECT

public:
    explicit LuckChart(QWidget* parent = nullptr);

    void setBands(const std::array<int, 10>& bands, const std::array<double, 10>& fair);
    // The bars are the rolls a look back chose, not tonight's.
    void setChosen(bool chosen);
    const std::array<int, 10>& bands() const { return m_bands; }
    const std::array<double, 10>& fair() const { return m_fair; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::array<int, 10> m_bands{};
    std::array<double, 10> m_fair{};
    bool m_chosen = false;
};

// What the luck of a roll is, for a tooltip or a screen reader.
QString luckExplained();

// The same numbers for a screen reader: a row for each band, its rolls and
// what fair dice give.
void fillLuckTable(QTableWidget* table, const std::array<int, 10>& bands, const std::array<double, 10>& fair);

} // namespace velmora
