#include "app/log/RollLogWindow.h"

#include "app/access/Announcer.h"
#include "app/access/FocusedItem.h"
#include "app/desktop/FlowLayout.h"
#include "app/desktop/Placement.h"
#include "text/RollText.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QSaveFile>
#include <QShortcut>
#include <QVBoxLayout>

namespace velmora {
namespace {

// Where an entry keeps the roll's text for a copy.
constexpr int kCopyRole = Qt::UserRole;

QString qt(const std::string& text) { return QString::fromStdString(text); }

} // namespace

RollLogWindow::RollLogWindow(const RollLog& log, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , m_log(log)
    , m_list(new QListWidget(this))
{
    setObjectName(QStringLiteral("rollLog"));
    setWindowTitle(tr("Velmora - Verlauf"));
    auto* note =
        new QLabel(tr("Die letzten %1 Würfe, der neueste zuerst; sie bleiben über das Ende von Velmora hinaus.")
                       .arg(QLocale(QLocale::German).toString(static_cast<qulonglong>(RollLog::kCapacity))),
            this);
    note->setWordWrap(true);
    m_list->setObjectName(QStringLiteral("rolls"));
    m_list->setAccessibleName(tr("Würfe"));
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->setUniformItemSizes(true);
    m_list->installEventFilter(this);
    note->setBuddy(m_list);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(note);
    layout->addWidget(m_list);
    auto* buttons = new FlowLayout;
    auto* save = new QPushButton(tr("&Speichern …"), this);
    auto* clear = new QPushButton(tr("Verlauf &leeren …"), this);
    for (QPushButton* b : {save, clear}) {
        b->setAutoDefault(false);
        buttons->addWidget(b);
    }
    layout->addLayout(buttons);
    connect(save, &QPushButton::clicked, this, &RollLogWindow::saveAs);
    connect(clear, &QPushButton::clicked, this, &RollLogWindow::askToClear);
    auto* saveKey = new QShortcut(QKeySequence::Save, this);
    connect(saveKey, &QShortcut::activated, this, &RollLogWindow::saveAs);
    resize(560, 420);

    m_announcer = new Announcer(this);
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, &QWidget::close);
}

void RollLogWindow::addNewest(const RollLog::Entry& entry)
{
    auto* item = new QListWidgetItem(qt(rolltext::logLine(entry.roll, entry.time)));
    // Heard once and plainly: the step, karma and result, then the dice in
    // the words of the announcement, with no punctuation said aloud.
    item->setData(Qt::AccessibleTextRole, qt(rolltext::spokenLogLine(entry.roll, entry.time)));
    item->setData(Qt::AccessibleDescriptionRole, qt(rolltext::spokenDice(entry.roll)));
    item->setData(kCopyRole, qt(rolltext::copy(entry.roll)));
    m_list->insertItem(0, item);
    // As many as the log keeps: its oldest went as the newest came.
    while (m_list->count() > static_cast<int>(m_log.size())) {
        delete m_list->takeItem(m_list->count() - 1);
    }
}

void RollLogWindow::showWhetherEmpty()
{
    m_list->setAccessibleDescription(m_list->count() == 0 ? tr("Noch keine Würfe") : QString());
}

void RollLogWindow::fill()
{
    m_list->clear();
    for (std::size_t i = 0; i < m_log.size(); ++i) {
        addNewest(m_log[i]);
    }
    showWhetherEmpty();
}

void RollLogWindow::rollAdded()
{
    // A hidden window is filled anew when it opens.
    if (m_log.empty() || !isVisible()) {
        return;
    }
    addNewest(m_log.latest());
    showWhetherEmpty();
    // The newest stays selected and in view, as at opening.
    m_list->setCurrentRow(0, QItemSelectionModel::ClearAndSelect);
    m_list->scrollToTop();
}

void RollLogWindow::open(QWidget* beside)
{
    m_returnFocus = QApplication::focusWidget();
    if (!isVisible()) {
        fill();
        if (beside != nullptr) {
            placeBeside(this, beside);
        }
    }
    show();
    raise();
    activateWindow();
    if (m_list->count() > 0) {
        m_list->setCurrentRow(0, QItemSelectionModel::ClearAndSelect);
        m_list->scrollToTop();
    }
    m_list->setFocus();
}

QString RollLogWindow::selectedText() const { return text(true); }

QString RollLogWindow::allText() const { return text(false); }

QString RollLogWindow::text(bool selectedOnly) const
{
    // In list order, which is newest first, whatever order they were picked in.
    QStringList rolls;
    for (int row = 0; row < m_list->count(); ++row) {
        if (!selectedOnly || m_list->item(row)->isSelected()) {
            rolls << m_list->item(row)->data(kCopyRole).toString();
        }
    }
    return rolls.join(QStringLiteral("\n\n"));
}

void RollLogWindow::reload()
{
    if (!isVisible()) {
        return; // filled anew when it opens
    }
    fill();
    if (m_list->count() > 0) {
        m_list->setCurrentRow(0, QItemSelectionModel::ClearAndSelect);
    }
}

void RollLogWindow::saveAs()
{
    const QString text = m_list->selectedItems().size() > 1 ? selectedText() : allText();
    if (text.isEmpty()) {
        m_announcer->announce(tr("Noch keine Würfe"));
        return;
    }
    const QString path = QFileDialog::getSaveFileName(
        this, tr("Verlauf speichern"), QStringLiteral("velmora-verlauf.txt"), tr("Text (*.txt);;Alle Dateien (*)"));
    if (path.isEmpty()) {
        return;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write((text + QLatin1Char('\n')).toUtf8()) < 0 || !file.commit()) {
        QMessageBox::warning(this, windowTitle(),
            tr("Der Verlauf konnte nicht gespeichert werden (%1): %2.").arg(path, file.errorString()));
        return;
    }
    m_announcer->announce(tr("Verlauf gespeichert"));
}

void RollLogWindow::askToClear()
{
    // Exactly what will be deleted, and in German: "Alle 1 Würfe" is none.
    const std::size_t count = m_log.size();
    if (count == 0) {
        return;
    }
    std::vector<std::uint64_t> ids;
    for (std::size_t i = 0; i < count; ++i) {
        ids.push_back(m_log[i].id);
    }
    const QString question = count == 1 ? tr("Den einen Wurf aus dem Verlauf löschen?")
                                        : tr("Alle %1 Würfe aus dem Verlauf löschen?").arg(count);
    if (QMessageBox::question(this, tr("Verlauf leeren"), question, QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
        == QMessageBox::Yes) {
        emit clearRequested(ids);
        reload();
    }
}

bool RollLogWindow::eventFilter(QObject* watched, QEvent* event)
{
    // The list takes the focus once the window manager activates the
    // window, after the current entry was set. Once the list's own focus
    // has been told, tell assistive technology which entry has it, so that
    // a screen reader reads the newest roll rather than only the list.
    if (watched == m_list && event->type() == QEvent::FocusIn) {
        tellFocusedItemLater(m_list, [this] { return m_list->currentRow(); });
    }
    // The list would copy only the current entry's line.
    if (watched == m_list && event->type() == QEvent::KeyPress
        && static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy)) {
        const QString text = selectedText();
        if (!text.isEmpty()) {
            QApplication::clipboard()->setText(text);
            const auto copied = m_list->selectedItems().size();
            m_announcer->announce(copied == 1 ? tr("Wurf kopiert") : tr("%1 Würfe kopiert").arg(copied));
        }
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void RollLogWindow::closeEvent(QCloseEvent* event)
{
    QWidget::closeEvent(event);
    if (m_returnFocus != nullptr) {
        m_returnFocus->window()->activateWindow();
        m_returnFocus->setFocus();
    }
}

} // namespace velmora
