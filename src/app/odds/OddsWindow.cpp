#include "app/odds/OddsWindow.h"

#include "app/desktop/FlowLayout.h"

#include "app/access/AccessibleFactory.h"
#include "app/access/Announcer.h"
#include "app/access/FocusedItem.h"
#include "app/odds/OddsChart.h"
#include "app/odds/OddsText.h"
#include "steps/StepTable.h"

#include <QAccessibleWidget>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QScrollBar>
#include <QShortcut>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace velmora {
namespace {

// A frame of its own to assistive technology, as the main window is, not a
// pane inside it.
class AccessibleOddsWindow : public QAccessibleWidget {
public:
    explicit AccessibleOddsWindow(QWidget* window) : QAccessibleWidget(window, QAccessible::Window) {}
};

enum SummaryRow { kFumbleRow, kMeanRow, kSummaryRows };

// The chosen level's column: bold in the view's own font, on a tint of the
// selection colour.
QVariant markOfColumn(int level, int chosen, int role, const QFont& viewFont)
{
    if (level != chosen) {
        return {};
    }
    if (role == Qt::FontRole) {
        QFont font = viewFont;
        font.setBold(true);
        return font;
    }
    if (role == Qt::BackgroundRole) {
        QColor tint = QGuiApplication::palette().color(QPalette::Highlight);
        tint.setAlphaF(0.18);
        return tint;
    }
    return {};
}

QVariant karmaHeader(int level, int chosen, int role, const QFont& viewFont)
{
    if (role == Qt::DisplayRole) {
        return karmaColumnTitle(level);
    }
    if (role == Qt::FontRole) {
        return markOfColumn(level, chosen, role, viewFont);
    }
    if (role == Qt::AccessibleDescriptionRole && level == chosen) {
        return QCoreApplication::translate("velmora::OddsWindow", "gewählt");
    }
    return {};
}

void setUpView(QTableView* view)
{
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Read-only: the focus frame shows the cell, and a screen reader says no
    // "not selected" after each (with the models' cells not selectable, for
    // Qt 6.8).
    view->setSelectionMode(QAbstractItemView::NoSelection);
    tellCellOnFocus(view);
    // Tab leaves the table; the arrow keys move within it.
    view->setTabKeyNavigation(false);
    view->setWordWrap(false);
    view->horizontalHeader()->setHighlightSections(false);
    view->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    // As wide as its columns where the screen has room, and narrower with a
    // scroll bar where it has not.
    view->setSizeAdjustPolicy(QAbstractScrollArea::AdjustToContents);
    // By pixels, so that a column can be brought whole into view.
    view->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
}

} // namespace

void OddsTableModel::setOdds(const StepOddsSet& odds, int chosenLevel, const QFont& viewFont)
{
    beginResetModel();
    m_font = viewFont;
    m_odds = odds;
    m_chosen = chosenLevel;
    m_lastRoll = lastMinimumRoll(odds);
    endResetModel();
}

int OddsTableModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : m_lastRoll; }

int OddsTableModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : 1 + kKarmaColumns; }

QVariant OddsTableModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || m_odds[0] == nullptr) {
        return {};
    }
    const int n = index.row() + 1;
    const int level = index.column() - 1;
    switch (role) {
    case Qt::DisplayRole:
        return level < 0 ? QString::number(n) : percentText(m_odds[static_cast<std::size_t>(level)]->chanceAtLeast(n));
    case Qt::AccessibleTextRole:
        // The row's header, said by its first cell as for the summary.
        return level < 0 ? headerData(index.row(), Qt::Vertical, Qt::DisplayRole) : QVariant();
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    default:
        return level < 0 ? QVariant() : markOfColumn(level, m_chosen, role, m_font);
    }
}

Qt::ItemFlags OddsTableModel::flags(const QModelIndex& index) const
{
    return index.isValid() ? Qt::ItemIsEnabled : Qt::NoItemFlags;
}

QVariant OddsTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    // The rows' headers are not shown, the first column says the same; a
    // screen reader says them as the row changes.
    if (orientation == Qt::Vertical) {
        return role == Qt::DisplayRole ? QVariant(tr("Mindestwurf %1").arg(section + 1)) : QVariant();
    }
    if (section == 0) {
        return role == Qt::DisplayRole ? QVariant(tr("Mindestwurf")) : QVariant();
    }
    return karmaHeader(section - 1, m_chosen, role, m_font);
}

void OddsSummaryModel::setOdds(const StepOddsSet& odds, int chosenLevel, const QFont& viewFont)
{
    beginResetModel();
    m_font = viewFont;
    m_odds = odds;
    m_chosen = chosenLevel;
    endResetModel();
}

int OddsSummaryModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : kSummaryRows; }

int OddsSummaryModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : kKarmaColumns; }

QVariant OddsSummaryModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || m_odds[0] == nullptr) {
        return {};
    }
    const RollOdds& odds = *m_odds[static_cast<std::size_t>(index.column())];
    switch (role) {
    case Qt::DisplayRole:
        return index.row() == kFumbleRow ? percentText(odds.fumbleChance()) : decimalText(odds.mean());
    case Qt::AccessibleTextRole:
        // Qt gives screen readers no row header that they say; the row's
        // first cell says it, once, where Orca reads the whole row.
        return index.column() > 0 ? QVariant()
                                  : QVariant(headerData(index.row(), Qt::Vertical, Qt::DisplayRole).toString()
                                      + QLatin1Char(' ') + data(index, Qt::DisplayRole).toString());
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    default:
        return markOfColumn(index.column(), m_chosen, role, m_font);
    }
}

Qt::ItemFlags OddsSummaryModel::flags(const QModelIndex& index) const
{
    return index.isValid() ? Qt::ItemIsEnabled : Qt::NoItemFlags;
}

QVariant OddsSummaryModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Vertical) {
        if (role != Qt::DisplayRole) {
            return {};
        }
        return section == kFumbleRow ? tr("Patzer!") : tr("im Mittel");
    }
    return karmaHeader(section, m_chosen, role, m_font);
}

OddsWindow::OddsWindow(QWidget* parent, OddsCache& odds) : QWidget(parent, Qt::Window), m_odds(odds)
{
    installAccessibleInterface<OddsWindow, AccessibleOddsWindow>();
    setObjectName(QStringLiteral("odds"));
    setWindowTitle(tr("Velmora - Chancen"));

    m_heading = new QLabel(this);
    m_heading->setWordWrap(true);
    QFont headingFont = m_heading->font();
    headingFont.setBold(true);
    headingFont.setPointSizeF(headingFont.pointSizeF() * 1.25);
    m_heading->setFont(headingFont);

    m_selector = new QSpinBox(this);
    m_selector->setRange(kFirstStep, kLastStep);
    m_selector->setAccessibleName(tr("Stufe"));
    auto* selectorLabel = new QLabel(tr("&Stufe:"), this);
    // Qt 6.8 tells a screen reader the label's text with its "&".
    selectorLabel->setAccessibleName(tr("Stufe:"));
    selectorLabel->setBuddy(m_selector);
    m_dice = new QLabel(this);
    m_chosenLabel = new QLabel(this);
    for (QLabel* label : {m_dice, m_chosenLabel}) {
        label->setWordWrap(true);
    }

    m_summaryModel = new OddsSummaryModel(this);
    m_summary = new QTableView(this);
    m_summary->setModel(m_summaryModel);
    m_summary->setAccessibleName(tr("Patzer und Mittelwert"));
    setUpView(m_summary);
    m_summary->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_summary->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    m_model = new OddsTableModel(this);
    m_table = new QTableView(this);
    m_table->setModel(m_model);
    m_table->setAccessibleName(tr("Chancen je Mindestwurf"));
    setUpView(m_table);
    // The minimum roll is the first column; a second count beside it would
    // only be read out twice.
    m_table->verticalHeader()->hide();
    m_table->setAlternatingRowColors(true);
    // The summary's columns stay over the table's when it scrolls sideways.
    connect(m_table->horizontalScrollBar(), &QScrollBar::valueChanged, m_summary->horizontalScrollBar(),
        &QScrollBar::setValue);

    m_chart = new OddsChart(this);

    auto* selectorRow = new FlowLayout;
    selectorRow->setSpacing(16);
    auto* selector = new QHBoxLayout;
    selector->addWidget(selectorLabel);
    selector->addWidget(m_selector);
    selectorRow->addLayout(selector);
    selectorRow->addWidget(m_dice);
    selectorRow->addWidget(m_chosenLabel);

    // The summary above the table, column on column.
    auto* tables = new QVBoxLayout;
    tables->addWidget(m_summary);
    tables->addWidget(m_table, 1);
    auto* body = new QHBoxLayout;
    body->addLayout(tables);
    body->addWidget(m_chart, 1);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_heading);
    layout->addLayout(selectorRow);
    layout->addLayout(body, 1);

    m_announcer = new Announcer(this);
    // The spin box itself says only the number. Told once the typing
    // pauses: "4" "0" is step 40, and no word about step 4.
    m_tellStep = new QTimer(this);
    m_tellStep->setSingleShot(true);
    m_tellStep->setInterval(400);
    connect(m_tellStep, &QTimer::timeout, this, &OddsWindow::tellStep);
    connect(m_selector, &QSpinBox::valueChanged, this, [this](int step) {
        showStep(step);
        m_tellStep->start();
    });
    auto* close = new QShortcut(QKeySequence::Cancel, this);
    connect(close, &QShortcut::activated, this, &QWidget::close);

    setTabOrder(m_selector, m_summary);
    setTabOrder(m_summary, m_table);
    resize(960, 640);
}

void OddsWindow::showStep(int step)
{
    if (step == m_step) {
        return;
    }
    m_step = step;
    const QSignalBlocker quiet(m_selector);
    m_selector->setValue(step);
    refresh();
}

void OddsWindow::tellStep()
{
    m_tellStep->stop();
    m_announcer->announce(m_heading->text(), stepButtonSpokenDescription(m_step, m_chosen));
}

void OddsWindow::setChosenKarma(int level)
{
    if (level == m_chosen) {
        return;
    }
    m_chosen = level;
    if (m_step != 0) {
        refresh();
    }
}

void OddsWindow::refresh()
{
    const StepOddsSet odds = stepOddsSet(m_odds, m_step);
    m_heading->setText(tr("Chancen für Stufe %1").arg(m_step));
    m_dice->setText(tr("Würfel: %1").arg(diceText(m_step)));
    // "Karma +10" is one name: the label may wrap, but not inside it.
    m_chosenLabel->setText(tr("Gewählt: %1").arg(karmaColumnTitle(m_chosen).replace(QLatin1Char(' '), QChar::Nbsp)));
    m_summaryModel->setOdds(odds, m_chosen, m_summary->font());
    m_model->setOdds(odds, m_chosen, m_table->font());
    m_chart->setOdds(odds, m_model->lastRoll(), m_chosen);
    alignColumns();
    showChosenColumn();
}

void OddsWindow::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (m_step != 0) {
        // Laid out at the new size first.
        QMetaObject::invokeMethod(this, &OddsWindow::showChosenColumn, Qt::QueuedConnection);
    }
}

void OddsWindow::showChosenColumn()
{
    // The table's first column counts the rolls; the summary has none.
    for (const auto& [view, column] : {std::pair{m_table, m_chosen + 1}, std::pair{m_summary, m_chosen}}) {
        QScrollBar* bar = view->horizontalScrollBar();
        const int left = view->horizontalHeader()->sectionPosition(column);
        const int right = left + view->horizontalHeader()->sectionSize(column);
        const int shown = view->viewport()->width();
        // As far to the left as shows it whole: the minimum roll with it
        // where there is room, even where it was laid out narrower first.
        if (left < bar->value() || right - bar->value() > shown || bar->value() > std::max(0, right - shown)) {
            bar->setValue(std::min(left, std::max(0, right - shown)));
        }
    }
}

void OddsWindow::changeEvent(QEvent* event)
{
    // A new font or style sheet changes every width and height.
    if ((event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) && m_step != 0) {
        refresh();
    }
    QWidget::changeEvent(event);
}

void OddsWindow::alignColumns()
{
    for (QTableView* view : {m_table, m_summary}) {
        view->verticalHeader()->setDefaultSectionSize(view->fontMetrics().height() + 6);
    }
    m_table->resizeColumnsToContents();
    m_summary->resizeColumnsToContents();
    const int first = std::max(m_table->columnWidth(0), m_summary->verticalHeader()->sizeHint().width());
    m_table->setColumnWidth(0, first);
    m_summary->verticalHeader()->setFixedWidth(first);
    int width = first;
    int widest = 0;
    for (int level = 0; level < kKarmaColumns; ++level) {
        const int column = std::max(m_table->columnWidth(level + 1), m_summary->columnWidth(level)) + 8;
        m_table->setColumnWidth(level + 1, column);
        m_summary->setColumnWidth(level, column);
        width += column;
        widest = std::max(widest, column);
    }
    const int frames = 2 * m_table->frameWidth();
    const int scrollBar = m_table->verticalScrollBar()->sizeHint().width();
    // Never narrower than the minimum roll and one karma's column whole: the
    // chart gives way first.
    m_summary->setMinimumWidth(first + widest + frames);
    m_table->setMinimumWidth(first + widest + frames + scrollBar);
    m_summary->setFixedHeight(
        m_summary->horizontalHeader()->sizeHint().height() + m_summary->verticalHeader()->length() + frames);
    m_summary->setMaximumWidth(width + frames);
    m_table->setMaximumWidth(width + frames + scrollBar);
}

} // namespace velmora
