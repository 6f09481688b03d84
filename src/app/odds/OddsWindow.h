#pragma once

#include "app/odds/OddsText.h"

#include <QAbstractTableModel>
#include <QFont>
#include <QWidget>

class QLabel;
class QSpinBox;
class QTableView;
class QTimer;

namespace velmora {

class Announcer;
class OddsChart;

// Minimum roll N from 1 on, then the chance of reaching it at each karma
// level, in per cent.
class OddsTableModel final : public QAbstractTableModel {
    Q_OBJECT

public:
    using QAbstractTableModel::QAbstractTableModel;

    void setOdds(const StepOddsSet& odds, int chosenLevel, const QFont& viewFont);
    int lastRoll() const { return m_lastRoll; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    StepOddsSet m_odds{};
    int m_lastRoll = 0;
    int m_chosen = 0;
    QFont m_font;
};

// "Patzer!" and the mean at each karma level.
class OddsSummaryModel final : public QAbstractTableModel {
    Q_OBJECT

public:
    using QAbstractTableModel::QAbstractTableModel;

    void setOdds(const StepOddsSet& odds, int chosenLevel, const QFont& viewFont);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    StepOddsSet m_odds{};
    int m_chosen = 0;
    QFont m_font;
};

// "Velmora - Chancen": one step's odds at all five karma levels, as a table
// and as a chart, with a selector for the step.
class OddsWindow : public QWidget {
    Q_OBJECT

public:
    // The tooltips' numbers unless told otherwise.
    explicit OddsWindow(QWidget* parent = nullptr, OddsCache& odds = sharedOdds());

    void showStep(int step);
    void setChosenKarma(int level);
    // Says the step and its dice, as the window opens on it.
    void tellStep();

    int step() const { return m_step; }
    QSpinBox* stepSelector() const { return m_selector; }
    QTableView* table() const { return m_table; }
    QTableView* summary() const { return m_summary; }
    QLabel* heading() const { return m_heading; }
    OddsChart* chart() const { return m_chart; }

protected:
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void refresh();
    void alignColumns();
    // The chosen karma's column scrolled whole into view, where the window
    // is too narrow for all of them.
    void showChosenColumn();

    OddsCache& m_odds;
    int m_step = 0;
    int m_chosen = 0;
    QLabel* m_heading = nullptr;
    Announcer* m_announcer = nullptr;
    QTimer* m_tellStep = nullptr;
    QSpinBox* m_selector = nullptr;
    QLabel* m_dice = nullptr;
    QLabel* m_chosenLabel = nullptr;
    OddsTableModel* m_model = nullptr;
    OddsSummaryModel* m_summaryModel = nullptr;
    QTableView* m_table = nullptr;
    QTableView* m_summary = nullptr;
    OddsChart* m_chart = nullptr;
};

} // namespace velmora
