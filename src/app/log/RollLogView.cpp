#include "app/log/RollLogView.h"

#include "app/access/Announcer.h"
#include "app/access/FocusedItem.h"
#include "app/desktop/FlowLayout.h"
#include "app/desktop/HeldKeys.h"
#include "app/log/LookBackBar.h"
#include "app/log/LuckChart.h"
#include "app/session/Session.h"
#include "odds/Evening.h"
#include "text/LuckText.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QSaveFile>
#include <QScrollBar>
#include <QStandardPaths>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QTableWidget>
#include <QTimer>
#include <QToolTip>
#include <QVBoxLayout>

#include <algorithm>
#include <unordered_set>

namespace velmora {
namespace {

QString qt(const std::string& text) { return QString::fromStdString(text); }

// A line between two evenings, beneath the first roll of the later one.
class EveningLine : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::paint(painter, option, index);
        if (index.data(RollLogModel::EveningStartsRole).toBool()) {
            const int width = std::max(2, option.fontMetrics.height() / 8);
            painter->fillRect(option.rect.left(), option.rect.bottom() - width + 1, option.rect.width(), width,
                option.palette.color(QPalette::WindowText));
        }
    }
};

} // namespace

RollLogView::RollLogView(Session& session, QWidget* parent)
    : QWidget(parent)
    , m_session(session)
    , m_log(session.log())
    , m_model(new RollLogModel(session.keeper(), this))
    , m_table(new QTableView(this))
{
    setObjectName(QStringLiteral("rollLog"));
    auto* note = new QLabel(tr("Alle Würfe, der neueste zuerst; sie bleiben über das Ende von Velmora hinaus."), this);
    note->setWordWrap(true);
    m_table->setObjectName(QStringLiteral("rolls"));
    m_table->setAccessibleName(tr("Würfe"));
    m_table->setModel(m_model);
    m_table->setItemDelegate(new EveningLine(m_table));
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setWordWrap(false);
    m_table->setTabKeyNavigation(false);
    m_table->verticalHeader()->hide();
    QHeaderView* header = m_table->horizontalHeader();
    // The result whole, whatever its width; the dice take what is left and
    // show the rest as a tooltip.
    for (const int column : {Time, Karma, Result, Luck}) {
        header->setSectionResizeMode(column, QHeaderView::ResizeToContents);
    }
    header->setSectionResizeMode(What, QHeaderView::Interactive);
    header->setSectionResizeMode(Dice, QHeaderView::Stretch);
    // Fitted to the rows in view, not to every row of a full log at every
    // roll; again as others come into view.
    header->setResizeContentsPrecision(0);
    connect(m_table->verticalScrollBar(), &QScrollBar::valueChanged, header,
        [header] { QMetaObject::invokeMethod(header, "resizeSections"); });
    fitRows();
    m_table->installEventFilter(this);
    m_table->viewport()->installEventFilter(this);
    keepCurrentWithFocus(m_table);
    connect(m_table, &QTableView::doubleClicked, this, [this](const QModelIndex& index) {
        if (const RollLog::Entry* entry = m_model->entryAt(index.row())) {
            emit rollAgain(entry->roll);
        }
    });
    note->setBuddy(m_table);
    // Quiet: no focus and nothing said, as each roll is said as it comes.
    m_newAbove = new QPushButton(tr("neue Würfe oben"), this);
    m_newAbove->setObjectName(QStringLiteral("newAbove"));
    m_newAbove->setFlat(true);
    m_newAbove->setFocusPolicy(Qt::NoFocus);
    m_newAbove->setToolTip(tr("Zu den neuesten Würfen (Pos1)"));
    // Its room kept, so that the rolls do not move as it comes and goes.
    QSizePolicy kept = m_newAbove->sizePolicy();
    kept.setRetainSizeWhenHidden(true);
    m_newAbove->setSizePolicy(kept);
    m_newAbove->hide();
    connect(m_newAbove, &QPushButton::clicked, this, &RollLogView::showNewest);
    connect(m_table->verticalScrollBar(), &QScrollBar::valueChanged, m_newAbove, [this](int value) {
        if (value == 0) {
            m_newAbove->hide();
        }
    });
    m_tonight = new QLabel(this);
    m_tonight->setObjectName(QStringLiteral("tonight"));
    m_tonight->setWordWrap(true);
    // Reached by Tab and read there, as a screen reader reads a text.
    m_tonight->setTextInteractionFlags(Qt::TextSelectableByKeyboard | Qt::TextSelectableByMouse);
    m_tonight->setFocusPolicy(Qt::StrongFocus);
    // Its explanation shown on hovering, and by Shift+F1, but no tooltip as
    // such: Qt gives a screen reader a widget's tooltip as its description,
    // read with the summary at every visit, three times its length.
    m_tonight->installEventFilter(this);
    m_eveningEnds = new QTimer(this);
    m_eveningEnds->setSingleShot(true);
    connect(m_eveningEnds, &QTimer::timeout, this, &RollLogView::showTonight);
    m_tonightPaced = new PacedUpdate([this] { showTonight(); }, this);
    m_luckChart = new LuckChart(this);
    m_luckTable = new QTableWidget(this);
    m_luckTable->setObjectName(QStringLiteral("luckBands"));
    m_luckTable->setAccessibleName(tr("Glück heute, in Zehnteln"));
    m_luckTable->setSelectionMode(QAbstractItemView::NoSelection);
    m_luckTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_luckTable->setTabKeyNavigation(false);
    m_luckTable->setWordWrap(false); // "30 bis 40 %" on one line, or scrolled to
    m_luckTable->verticalHeader()->hide();
    m_luckTable->setSizeAdjustPolicy(QAbstractScrollArea::AdjustToContents);
    tellCellOnFocus(m_luckTable);
    auto* luck = new QHBoxLayout;
    luck->addWidget(m_luckChart, 1);
    luck->addWidget(m_luckTable);
    auto* layout = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    top->addWidget(note, 1);
    top->addWidget(m_newAbove, 0, Qt::AlignBottom);
    layout->addLayout(top);
    m_lookBar = new LookBackBar(this);
    layout->addWidget(m_lookBar);
    connect(m_lookBar, &LookBackBar::filterChanged, this, [this](const RollFilter& filter) {
        if (!filter.any()) {
            m_looked.reset();
            m_model->showAll();
            fill();
        }
        m_session.keeper().lookBack(filter);
    });
    connect(&session.keeper(), &Keeper::lookedBack, this, &RollLogView::lookedBack);
    m_lookPaced = new PacedUpdate([this] { lookAgain(); }, this);
    auto* find = new QAction(tr("Würfe auswählen"), this);
    find->setShortcut(QKeySequence::Find);
    find->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    connect(find, &QAction::triggered, m_lookBar, &LookBackBar::focusFirst);
    addAction(find);
    // The rolls take what room there is; tonight's numbers beneath as high
    // as the chart, the table scrolling.
    layout->addWidget(m_table, 1);
    layout->addWidget(m_tonight);
    layout->addLayout(luck);
    m_luckTable->setMaximumHeight(m_luckChart->sizeHint().height());
    auto* buttons = new FlowLayout;
    auto* save = new QPushButton(tr("&Speichern …"), this);
    auto* csv = new QPushButton(tr("Als &CSV exportieren …"), this);
    csv->setToolTip(tr("Die gewählten Würfe, oder alle, als Tabelle für eine Tabellenkalkulation"));
    auto* clear = new QPushButton(tr("Verlauf l&eeren …"), this);
    for (QPushButton* b : {save, csv, clear}) {
        b->setAutoDefault(false);
        buttons->addWidget(b);
    }
    layout->addLayout(buttons);
    connect(save, &QPushButton::clicked, this, &RollLogView::saveAs);
    connect(csv, &QPushButton::clicked, this, &RollLogView::exportCsv);
    connect(&session.keeper(), &Keeper::exported, this,
        [this](const QString& path, std::int64_t rolls, const QString& error) {
            if (error.isEmpty()) {
                m_announcer->announce(rolls == 1 ? tr("Ein Wurf exportiert") : tr("%1 Würfe exportiert").arg(rolls));
            } else {
                QMessageBox::warning(this, tr("Als CSV exportieren"),
                    tr("Die Würfe konnten nicht exportiert werden (%1): %2").arg(path, error));
            }
        });
    connect(clear, &QPushButton::clicked, this, &RollLogView::askToClear);
    // Tab as the eye reads: the bar above the rolls comes first.
    QList<QWidget*> chain = m_lookBar->fields();
    chain << m_table << m_tonight << m_luckTable << save << csv << clear;
    for (qsizetype i = 1; i < chain.size(); ++i) {
        setTabOrder(chain[i - 1], chain[i]);
    }
    ReturnPresses::install(this);
    m_announcer = new Announcer(this);

    connect(&session, &Session::rolled, this, &RollLogView::rollAdded);
    connect(&session, &Session::logReplaced, this, &RollLogView::fill);
    // Another Velmora's rolls, a clearing or an undo change the evenings.
    connect(&session, &Session::logReplaced, m_lookPaced, &PacedUpdate::request);
    fill();
}

void RollLogView::showWhetherEmpty()
{
    // Qt tells every setting, changed or not, and each roll comes here.
    const QString description = m_model->rowCount() == 0 ? tr("Noch keine Würfe") : QString();
    if (m_table->accessibleDescription() != description) {
        m_table->setAccessibleDescription(description);
    }
}

QSize RollLogView::sizeHint() const
{
    // Every column whole but the dice, and some of those.
    int width = m_table->frameWidth() * 2 + m_table->verticalScrollBar()->sizeHint().width();
    for (const int column : {Time, Result, Luck, What, Karma}) {
        width += m_table->columnWidth(column);
    }
    width += m_table->fontMetrics().horizontalAdvance(QStringLiteral("D20 20+7, D8 3"));
    const QMargins margins = contentsMargins() + layout()->contentsMargins();
    return {width + margins.left() + margins.right(), QWidget::sizeHint().height()};
}

void RollLogView::fitRows()
{
    // As high as a line of the table's font, not the style's fixed 30 px:
    // more rolls in sight in a small font, none cut in a large one.
    m_table->verticalHeader()->setDefaultSectionSize(m_table->fontMetrics().height() + 6);
}

void RollLogView::fitColumns()
{
    // What was rolled, as wide as it needs up to a long talent's name, and
    // narrower where the dock is narrow: a screen reader reads a row's cells
    // in sight, so the dice stay in sight, cut short, their whole text said.
    // Hidden, Qt measures every row of the log for it, a tenth of a second
    // at each roll: fitted once shown instead.
    if (!m_table->isVisible()) {
        return;
    }
    const int em = m_table->fontMetrics().horizontalAdvance(QLatin1Char('M'));
    int others = 0;
    for (const int column : {Time, Result, Luck, Karma}) {
        others += m_table->columnWidth(column);
    }
    const int room = std::max(4 * em, m_table->viewport()->width() - others - 4 * em);
    m_table->resizeColumnToContents(What);
    m_table->setColumnWidth(What, std::min({m_table->columnWidth(What), 16 * em, room}));
}

void RollLogView::fill()
{
    const auto idAt = [this](int row) {
        const RollLog::Entry* entry = m_model->entryAt(row);
        return entry != nullptr ? entry->id : 0;
    };
    const std::uint64_t current = idAt(chosenRow(m_table));
    const std::uint64_t top = idAt(m_table->rowAt(0));
    const bool scrolled = m_table->verticalScrollBar()->value() > 0;
    m_model->reload();
    fitColumns();
    showWhetherEmpty();
    showTonight();
    if (const int row = m_model->rowOf(current); current != 0 && row >= 0) {
        chooseRow(m_table, row);
    }
    if (const int row = m_model->rowOf(top); scrolled && top != 0 && row >= 0) {
        m_table->scrollTo(m_model->index(row, Time), QAbstractItemView::PositionAtTop);
    }
}

void RollLogView::rollAdded()
{
    if (m_log.empty()) {
        return;
    }
    if (m_looked) {
        if (m_lookBar->filter().matches(m_log.latest())) {
            m_lookPaced->request();
        }
        return;
    }
    // What the player reads stays where it is: a row added above it moves
    // the scroll bar with it.
    QScrollBar* scroll = m_table->verticalScrollBar();
    const bool reading = scroll->value() > 0 || chosenRow(m_table) > 0;
    const int before = scroll->value();
    m_model->rollAdded();
    fitColumns();
    showWhetherEmpty();
    m_tonightPaced->request(); // each change of the summary is an event
    if (reading) {
        // The range follows the new row only once the table lays itself
        // out again; the view must not wait for that.
        const int row = m_table->verticalScrollMode() == QAbstractItemView::ScrollPerItem ? 1 : m_table->rowHeight(0);
        scroll->setMaximum(scroll->maximum() + row);
        scroll->setValue(before + row);
        // Said once laid out: where every row fits, the newest is in sight.
        QMetaObject::invokeMethod(
            this, [this] { m_newAbove->setVisible(m_table->verticalScrollBar()->value() > 0); }, Qt::QueuedConnection);
    } else {
        if (m_table->hasFocus()) {
            chooseRow(m_table, 0);
        } else {
            // Unread, the newest is chosen as the table takes the focus. A
            // selection moved with every roll tells a screen reader of two
            // rows each time, enough in a quick run of rolls to drop rolls.
            m_table->clearSelection();
        }
        m_table->scrollToTop();
    }
}

void RollLogView::showNewest()
{
    m_newAbove->hide();
    m_table->setFocus(Qt::ShortcutFocusReason);
    chooseRow(m_table, 0);
    m_table->scrollToTop();
}

void RollLogView::lookAgain()
{
    if (isVisible()) {
        m_session.keeper().lookBack(m_lookBar->filter());
    }
}

void RollLogView::lookedBack(const LookedBack& looked)
{
    m_lookBar->offer(looked);
    if (!looked.filter.any() || !(looked.filter == m_lookBar->filter())) {
        return; // the evenings only, or a filter changed since
    }
    const std::uint64_t current = [this] {
        const RollLog::Entry* entry = m_model->entryAt(chosenRow(m_table));
        return entry != nullptr ? entry->id : 0;
    }();
    // Said once for each new choice, not again as rolls join it.
    if (!m_looked || !(m_looked->filter == looked.filter)) {
        const auto count = static_cast<qulonglong>(looked.chosenIds.size());
        m_announcer->announce(count == 0 ? tr("Keine Würfe gewählt")
                : count == 1             ? tr("Ein Wurf gewählt")
                                         : tr("%1 Würfe gewählt").arg(QLocale(QLocale::German).toString(count)));
    }
    m_looked = looked;
    m_model->showOnly(looked.chosen);
    fitColumns();
    showWhetherEmpty();
    showTonight();
    if (const int row = m_model->rowOf(current); current != 0 && row >= 0) {
        chooseRow(m_table, row);
    }
}

void RollLogView::showTonight()
{
    if (m_looked) {
        // The chosen rolls' record in place of tonight's.
        const EveningGroup& record = m_looked->record;
        const QString shown = qt(rolltext::recordLine(record, false));
        m_tonight->setWhatsThis(
            tr("Ergebnis im Mittel: die Summen, wie ihre Zeilen sie zeigen, ein Patzer mit seiner Summe; die Würfel: "
               "ihr Mittel mit fairen Würfeln. So selten, 1 von N: nur eine von N Auswahlen so vieler Würfe mit "
               "fairen Würfeln liegt so weit oder weiter vom Erwarteten. Zu wenige Würfe: so wenige ergäben keine "
               "seltene Auswahl."));
        m_luckChart->setChosen(true);
        if (m_luckTable->accessibleName() != m_luckChart->accessibleName()) {
            m_luckTable->setAccessibleName(m_luckChart->accessibleName());
        }
        m_luckChart->setBands(record.bands, record.fair);
        fillLuckTable(m_luckTable, record.bands, record.fair);
        if (m_tonight->text() != shown) {
            m_tonight->setText(shown);
            m_tonight->setAccessibleName(qt(rolltext::recordLine(record, true)));
        }
        return;
    }
    m_tonight->setWhatsThis(
        tr("Über dem Mittel: Würfe, deren Summe über dem Mittel ihrer Würfel liegt; erwartet: wie viele es mit fairen "
           "Würfeln im Mittel wären. So ein Abend, 1 von N: nur einer von N Abenden mit fairen Würfeln liegt so weit "
           "oder weiter vom Erwarteten. Zu wenige Würfe: so wenige ergäben keinen seltenen Abend."));
    const std::int64_t now = QDateTime::currentMSecsSinceEpoch();
    const std::vector<EveningGroup> evening = velmora::tonight(m_log, now, sharedOdds());
    if (!evening.empty() && m_log.size() > 0) {
        // A moment after the end, so that the evening is over when it is read.
        const std::int64_t left = m_log.latest().when + kEveningPauseMs - now + 100;
        m_eveningEnds->start(static_cast<int>(std::clamp<std::int64_t>(left, 1000, kEveningPauseMs + 100)));
    } else {
        m_eveningEnds->stop();
    }
    QStringList shown;
    QStringList said;
    for (const EveningGroup& group : evening) {
        shown << qt(rolltext::eveningLine(group));
        said << qt(rolltext::spokenEvening(group));
    }
    if (evening.empty()) {
        shown << tr("Heute noch kein Wurf.");
        said << shown.constLast();
    }
    const EveningGroup none;
    const EveningGroup& all = evening.empty() ? none : evening.front();
    m_luckChart->setChosen(false);
    if (m_luckTable->accessibleName() != m_luckChart->accessibleName()) {
        m_luckTable->setAccessibleName(m_luckChart->accessibleName());
    }
    m_luckChart->setBands(all.bands, all.fair);
    fillLuckTable(m_luckTable, all.bands, all.fair);
    // Qt tells every setting, changed or not, and each roll comes here.
    if (m_tonight->text() != shown.join(QLatin1Char('\n'))) {
        m_tonight->setText(shown.join(QLatin1Char('\n')));
        m_tonight->setAccessibleName(said.join(QLatin1Char(' ')));
    }
}

void RollLogView::showEvent(QShowEvent* event)
{
    // Another Velmora's latest rolls, before the player acts on what is shown.
    m_session.keeper().lookForChanges();
    // A new evening may have begun while it was hidden.
    showTonight();
    lookAgain();
    QWidget::showEvent(event);
    fitColumns();
}

void RollLogView::open()
{
    m_session.keeper().lookForChanges();
    if (m_model->rowCount() > 0 && chosenRow(m_table) < 0) {
        chooseRow(m_table, 0);
        m_table->scrollToTop();
    }
    m_table->setFocus(Qt::ShortcutFocusReason);
}

QString RollLogView::selectedText() const
{
    // In table order, which is newest first, whatever order they were
    // picked in; each with its date and time, as a roll pasted elsewhere
    // is one of many.
    return savedText(true);
}

QString RollLogView::savedText(bool selectedOnly) const
{
    QStringList rolls;
    const QLocale german(QLocale::German);
    for (int row = 0; row < m_model->rowCount(); ++row) {
        const RollLog::Entry* entry = m_model->entryAt(row);
        if (entry == nullptr || (selectedOnly && !m_table->selectionModel()->isRowSelected(row))) {
            continue;
        }
        // A roll kept before rolls carried their date has its time only.
        const QString date = entry->when > 0
            ? german.toString(QDateTime::fromMSecsSinceEpoch(entry->when).date(), QStringLiteral("dd.MM.yyyy")) + ' '
            : QString();
        rolls << date + qt(entry->time) + ' ' + qt(m_session.copyText(entry->roll));
    }
    return rolls.join(QStringLiteral("\n\n"));
}

void RollLogView::saveAs()
{
    const bool several = m_table->selectionModel()->selectedRows().size() > 1;
    const QString text = savedText(several);
    if (text.isEmpty()) {
        m_announcer->announce(tr("Noch keine Würfe"));
        return;
    }
    const QString path = QFileDialog::getSaveFileName(
        this, tr("Verlauf speichern"), datedFile(QStringLiteral("txt")), tr("Text (*.txt);;Alle Dateien (*)"));
    if (path.isEmpty()) {
        return;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write((text + QLatin1Char('\n')).toUtf8()) < 0 || !file.commit()) {
        QMessageBox::warning(this, tr("Verlauf speichern"),
            tr("Der Verlauf konnte nicht gespeichert werden (%1): %2.").arg(path, file.errorString()));
        return;
    }
    m_announcer->announce(tr("Verlauf gespeichert"));
}

QString RollLogView::datedFile(const QString& suffix)
{
    // The documents folder, or the home folder where there is none yet:
    // never the folder Velmora happened to be started in. Each day's file
    // a name of its own, so that no save asks to overwrite the last.
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    const QString folder = !documents.isEmpty() && QDir(documents).exists() ? documents : QDir::homePath();
    return QDir(folder).filePath(QStringLiteral("velmora-verlauf-%1.%2")
                                     .arg(QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")), suffix));
}

void RollLogView::exportCsv()
{
    const QString path = QFileDialog::getSaveFileName(
        this, tr("Als CSV exportieren"), datedFile(QStringLiteral("csv")), tr("CSV (*.csv);;Alle Dateien (*)"));
    if (!path.isEmpty()) {
        exportCsvTo(path);
    }
}

void RollLogView::exportCsvTo(const QString& path)
{
    std::vector<RollLog::Entry> chosen;
    if (m_table->selectionModel()->selectedRows().size() > 1) {
        for (int row = m_model->rowCount() - 1; row >= 0; --row) {
            if (m_table->selectionModel()->isRowSelected(row)) {
                chosen.push_back(*m_model->entryAt(row)); // oldest first, as all are
            }
        }
    }
    // Else every roll kept that the bar chooses, not only the newest shown.
    m_session.keeper().exportCsv(path, std::move(chosen), m_looked ? m_looked->filter : RollFilter{});
}

QString RollLogView::clearQuestion(std::size_t rolls)
{
    // Exactly what will be deleted, and in German: "Alle 1 Würfe" is none.
    return rolls == 1 ? tr("Den einen Wurf aus dem Verlauf löschen?")
                      : tr("Alle %1 Würfe aus dem Verlauf löschen?")
                            .arg(QLocale(QLocale::German).toString(static_cast<qulonglong>(rolls)));
}

std::vector<std::uint64_t> RollLogView::tonightIds() const
{
    // Tonight's rolls are among the latest, which are always in memory.
    std::vector<std::int64_t> when;
    for (std::size_t i = 0; i < m_log.size(); ++i) {
        when.push_back(m_log[i].when);
    }
    std::vector<std::uint64_t> ids;
    for (std::size_t i = eveningStart(when, QDateTime::currentMSecsSinceEpoch()); i < m_log.size(); ++i) {
        ids.push_back(m_log[i].id);
    }
    return ids;
}

void RollLogView::askToClear()
{
    // What is counted is what goes, whatever another Velmora rolls while
    // the question waits.
    const Keeper::Counted counted = m_session.keeper().counted();
    if (counted.total == 0) {
        m_announcer->announce(tr("Noch keine Würfe"));
        return;
    }
    const std::vector<std::uint64_t> tonight = tonightIds();
    // Only what the bar shows now: a look for another choice may be on its way.
    const bool current = m_looked && m_looked->filter == m_lookBar->filter();
    const std::vector<std::uint64_t> chosen = current ? m_looked->chosenIds : std::vector<std::uint64_t>{};
    // Tonight's rolls beyond the latest thousand in memory are not counted:
    // said, rather than a count that looks whole.
    const bool tonightWhole = tonight.size() < m_log.size() || !m_session.keeper().hasOlder();
    const QLocale german(QLocale::German);
    const auto count = [&german](std::size_t n) { return german.toString(static_cast<qulonglong>(n)); };
    QMessageBox ask(
        QMessageBox::Question, tr("Verlauf leeren"), tr("Welche Würfe löschen?"), QMessageBox::NoButton, this);
    ask.setInformativeText(tr("Das Löschen lässt sich mit Strg+Z rückgängig machen, bis Velmora endet."));
    QPushButton* ofTonight = tonight.empty()
        ? nullptr
        : ask.addButton(tonightWhole ? tr("&Heutige (%1)").arg(count(tonight.size()))
                                     : tr("&Heutige, die neuesten %1").arg(count(tonight.size())),
            QMessageBox::YesRole);
    QPushButton* ofChosen = chosen.empty()
        ? nullptr
        : ask.addButton(tr("&Gefilterte (%1)").arg(count(chosen.size())), QMessageBox::YesRole);
    QPushButton* all =
        ask.addButton(tr("A&lle (%1)").arg(count(static_cast<std::size_t>(counted.total))), QMessageBox::YesRole);
    ask.setDefaultButton(ask.addButton(QMessageBox::Cancel));
    ask.exec();
    if (ask.clickedButton() == all) {
        m_session.clearLog(counted);
    } else if (ofTonight != nullptr && ask.clickedButton() == ofTonight) {
        m_session.clearLog(tonight);
    } else if (ofChosen != nullptr && ask.clickedButton() == ofChosen) {
        m_session.clearLog(chosen);
        forgetShown(chosen);
    }
}

void RollLogView::forgetShown(const std::vector<std::uint64_t>& ids)
{
    // Gone from the chosen rolls at once, not when the next look is back.
    if (!m_looked) {
        return;
    }
    const std::unordered_set<std::uint64_t> gone(ids.begin(), ids.end());
    std::erase_if(m_looked->chosen, [&gone](const RollLog::Entry& e) { return gone.count(e.id) > 0; });
    std::erase_if(m_looked->chosenIds, [&gone](std::uint64_t id) { return gone.count(id) > 0; });
    m_model->showOnly(m_looked->chosen);
    showWhetherEmpty();
}

void RollLogView::askToDeleteChosen()
{
    std::vector<std::uint64_t> ids;
    for (const QModelIndex& row : m_table->selectionModel()->selectedRows()) {
        if (const RollLog::Entry* entry = m_model->entryAt(row.row())) {
            ids.push_back(entry->id);
        }
    }
    if (ids.empty()) {
        return;
    }
    const QString question = ids.size() == 1
        ? tr("Den gewählten Wurf löschen?")
        : tr("Die %1 gewählten Würfe löschen?")
              .arg(QLocale(QLocale::German).toString(static_cast<qulonglong>(ids.size())));
    if (QMessageBox::question(this, tr("Würfe löschen"), question, QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
        == QMessageBox::Yes) {
        m_session.clearLog(ids);
        forgetShown(ids);
    }
}

bool RollLogView::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_table->viewport() && event->type() == QEvent::Resize) {
        fitColumns();
    }
    if (watched == m_tonight && event->type() == QEvent::ToolTip) {
        QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(), m_tonight->whatsThis(), m_tonight);
        return true;
    }
    if (watched != m_table) {
        return QWidget::eventFilter(watched, event);
    }
    switch (event->type()) {
    case QEvent::FontChange:
    case QEvent::StyleChange:
        fitRows();
        break;
    case QEvent::FocusIn:
        // A screen reader then reads the entry, not only "table".
        tellFocusedCellLater(m_table);
        break;
    case QEvent::ShortcutOverride: {
        // Ctrl+C here copies the selected rolls, not the window's latest.
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->matches(QKeySequence::Copy)) {
            event->accept();
            return true;
        }
        break;
    }
    case QEvent::KeyPress: {
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool repeat = HeldKeys::instance().pressIsRepeat(*key);
        const bool plain = (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
        if (key->matches(QKeySequence::Copy)) {
            const QString text = selectedText();
            if (!text.isEmpty()) {
                QApplication::clipboard()->setText(text);
                const auto copied = m_table->selectionModel()->selectedRows().size();
                m_announcer->announce(copied == 1 ? tr("Wurf kopiert") : tr("%1 Würfe kopiert").arg(copied));
            }
            return true;
        }
        if (plain && (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)) {
            // A held key rolls once.
            const RollLog::Entry* entry = m_model->entryAt(chosenRow(m_table));
            if (!repeat && entry != nullptr) {
                emit rollAgain(entry->roll);
            }
            return true;
        }
        if (plain && key->key() == Qt::Key_Delete) {
            askToDeleteChosen();
            return true;
        }
        if (plain && key->key() == Qt::Key_Home && m_model->rowCount() > 0) {
            showNewest(); // the row, not its first cell: the newest roll
            return true;
        }
        break;
    }
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

void RollLogView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    fitWrappedRows(this, m_table);
}

} // namespace velmora
