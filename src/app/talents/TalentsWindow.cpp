#include "app/talents/TalentsWindow.h"

#include "app/desktop/FlowLayout.h"
#include "app/desktop/Placement.h"
#include "app/odds/OddsText.h"
#include "odds/Odds.h"
#include "steps/StepTable.h"

#include <QAccessible>
#include <QComboBox>
#include <QEvent>
#include <QHeaderView>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QShortcut>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>

namespace velmora {
namespace {

QString qt(const std::string& text) { return QString::fromStdString(text); }

QPushButton* button(const QString& text, QWidget* parent, QLayout* layout)
{
    auto* b = new QPushButton(text, parent);
    b->setAutoDefault(false);
    layout->addWidget(b);
    return b;
}

} // namespace

TalentsWindow::TalentsWindow(QWidget* parent, TalentStore store)
    : QWidget(parent, Qt::Window)
    , m_store(std::move(store))
{
    setObjectName(QStringLiteral("talents"));
    setWindowTitle(tr("Velmora - Talente"));
    TalentStore::Loaded loaded = m_store.load();
    m_roster = std::move(loaded.roster);
    m_problem = loaded.problem;

    auto* layout = new QVBoxLayout(this);
    auto* characterRow = new FlowLayout;
    auto* characterLabel = new QLabel(tr("&Charakter:"), this);
    m_characters = new QComboBox(this);
    m_characters->setObjectName(QStringLiteral("character"));
    m_characters->setAccessibleName(tr("Charakter"));
    characterLabel->setBuddy(m_characters);
    characterRow->addWidget(characterLabel);
    characterRow->addWidget(m_characters);
    m_characterButtons << button(tr("&Neuer Charakter …"), this, characterRow)
                       << button(tr("Charakter &umbenennen …"), this, characterRow)
                       << button(tr("Charakter l&öschen …"), this, characterRow);
    layout->addLayout(characterRow);

    m_table = new QTableWidget(0, 4, this);
    m_table->setObjectName(QStringLiteral("talentTable"));
    m_table->setHorizontalHeaderLabels({tr("Talent"), tr("Stufe"), tr("Würfel"), tr("Mittel")});
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setTabKeyNavigation(false);
    m_table->verticalHeader()->hide();
    // Rows as high as their text, whatever the font or style sheet.
    m_table->verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->installEventFilter(this);
    layout->addWidget(m_table, 1);

    auto* talentRow = new FlowLayout;
    m_talentButtons << button(tr("&Würfeln"), this, talentRow) << button(tr("Talent &hinzufügen …"), this, talentRow)
                    << button(tr("&Talent umbenennen …"), this, talentRow)
                    << button(tr("&Stufe ändern …"), this, talentRow)
                    << button(tr("Talent &löschen …"), this, talentRow);
    layout->addLayout(talentRow);

    connect(m_characters, &QComboBox::activated, this, [this](int index) {
        if (index >= 0) {
            m_roster.setCurrent(static_cast<std::size_t>(index));
            changed(0);
        }
    });
    connect(m_characterButtons[0], &QPushButton::clicked, this, &TalentsWindow::newCharacter);
    connect(m_characterButtons[1], &QPushButton::clicked, this, &TalentsWindow::renameCharacter);
    connect(m_characterButtons[2], &QPushButton::clicked, this, &TalentsWindow::deleteCharacter);
    connect(m_talentButtons[0], &QPushButton::clicked, this, [this] { rollRow(currentRow()); });
    connect(m_talentButtons[1], &QPushButton::clicked, this, &TalentsWindow::addTalent);
    connect(m_talentButtons[2], &QPushButton::clicked, this, &TalentsWindow::renameTalent);
    connect(m_talentButtons[3], &QPushButton::clicked, this, &TalentsWindow::changeStep);
    connect(m_talentButtons[4], &QPushButton::clicked, this, &TalentsWindow::deleteTalent);
    connect(m_table, &QTableWidget::cellDoubleClicked, this, [this](int row, int) { rollRow(row); });
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, &QWidget::close);
    refresh();
}

void TalentsWindow::open(QWidget* beside)
{
    if (!isVisible() && beside != nullptr) {
        adjustSize();
        placeBeside(this, beside);
    }
    show();
    raise();
    activateWindow();
    m_table->setFocus();
    if (!m_problem.isEmpty()) {
        const QString problem = std::exchange(m_problem, QString());
        QTimer::singleShot(0, this, [this, problem] { QMessageBox::warning(this, windowTitle(), problem); });
    }
}

std::optional<TalentsWindow::Chosen> TalentsWindow::chosen() const
{
    const auto character = m_roster.current();
    const int row = currentRow();
    if (!character || row < 0 || row >= static_cast<int>(m_roster.characters()[*character].talents.size())) {
        return std::nullopt;
    }
    return Chosen{*character, static_cast<std::size_t>(row),
        m_roster.characters()[*character].talents[static_cast<std::size_t>(row)]};
}

int TalentsWindow::currentRow() const
{
    const QList<QTableWidgetSelectionRange> ranges = m_table->selectedRanges();
    return ranges.isEmpty() ? -1 : ranges.front().topRow();
}

void TalentsWindow::rollRow(int row)
{
    const Character* character = m_roster.currentCharacter();
    if (character == nullptr || row < 0 || row >= static_cast<int>(character->talents.size())) {
        return;
    }
    const Talent& talent = character->talents[static_cast<std::size_t>(row)];
    emit rollRequested(qt(character->name), qt(talent.name), talent.step);
}

bool TalentsWindow::eventFilter(QObject* watched, QEvent* event)
{
    // As the log does: once the table's own focus has been told, tell which
    // talent has it, or a screen reader says only "table".
    if (watched == m_table && event->type() == QEvent::FocusIn && QAccessible::isActive()) {
        QMetaObject::invokeMethod(
            this,
            [this] {
                const QModelIndex current = m_table->currentIndex();
                QAccessibleInterface* table = QAccessible::queryAccessibleInterface(m_table);
                if (!m_table->hasFocus() || !current.isValid() || table == nullptr
                    || table->tableInterface() == nullptr) {
                    return;
                }
                QAccessibleInterface* cell = table->tableInterface()->cellAt(current.row(), current.column());
                if (cell != nullptr) {
                    QAccessibleEvent focus(m_table, QAccessible::Focus);
                    focus.setChild(table->indexOfChild(cell));
                    QAccessible::updateAccessibility(&focus);
                }
            },
            Qt::QueuedConnection);
    }
    if (watched == m_table && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if ((key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
            switch (key->key()) {
            case Qt::Key_Return:
            case Qt::Key_Enter:
                rollRow(currentRow());
                return true;
            case Qt::Key_Insert:
                addTalent();
                return true;
            case Qt::Key_F2:
                renameTalent();
                return true;
            case Qt::Key_Delete:
                deleteTalent();
                return true;
            default:
                break;
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TalentsWindow::refresh(int selectRow)
{
    m_characters->clear();
    for (const Character& character : m_roster.characters()) {
        m_characters->addItem(qt(character.name));
    }
    const Character* current = m_roster.currentCharacter();
    if (current != nullptr) {
        m_characters->setCurrentIndex(static_cast<int>(*m_roster.current()));
    }
    m_table->setRowCount(0);
    if (current != nullptr) {
        m_table->setRowCount(static_cast<int>(current->talents.size()));
        for (int row = 0; row < m_table->rowCount(); ++row) {
            const Talent& talent = current->talents[static_cast<std::size_t>(row)];
            const double mean = sharedOdds().odds(talent.step, 0).mean();
            const QStringList cells{
                qt(talent.name), QString::number(talent.step), diceText(talent.step), decimalText(mean)};
            for (int column = 0; column < cells.size(); ++column) {
                m_table->setItem(row, column, new QTableWidgetItem(cells[column]));
            }
        }
    }
    m_table->setAccessibleName(current != nullptr ? tr("Talente von %1").arg(qt(current->name)) : tr("Talente"));
    m_table->setAccessibleDescription(current == nullptr ? tr("Noch kein Charakter; Neuer Charakter legt einen an.")
            : current->talents.empty()                   ? tr("Noch keine Talente; Einfügen fügt eines hinzu.")
                                                         : QString());
    if (m_table->rowCount() > 0) {
        m_table->selectRow(std::clamp(selectRow, 0, m_table->rowCount() - 1));
    }
    for (QPushButton* b : m_characterButtons.mid(1)) {
        b->setEnabled(current != nullptr);
    }
    m_talentButtons[1]->setEnabled(current != nullptr);
    for (QPushButton* b : {m_talentButtons[0], m_talentButtons[2], m_talentButtons[3], m_talentButtons[4]}) {
        b->setEnabled(m_table->rowCount() > 0);
    }
}

void TalentsWindow::changed(int selectRow)
{
    refresh(selectRow);
    const QString problem = m_store.save(m_roster);
    if (!problem.isEmpty()) {
        QMessageBox::warning(this, windowTitle(), problem);
    }
}

bool TalentsWindow::askName(
    const QString& title, const QString& label, QString text, const std::function<Refusal(const std::string&)>& apply)
{
    QString prompt = label;
    for (;;) {
        bool ok = false;
        text = QInputDialog::getText(this, title, prompt, QLineEdit::Normal, text, &ok);
        if (!ok) {
            return false;
        }
        const Refusal refusal = apply(text.toStdString());
        if (!refusal) {
            return true;
        }
        prompt = qt(*refusal) + QLatin1Char('\n') + label;
    }
}

void TalentsWindow::newCharacter()
{
    if (askName(tr("Neuer Charakter"), tr("Name des Charakters:"), {},
            [this](const std::string& name) { return m_roster.addCharacter(name); })) {
        changed(0);
    }
}

void TalentsWindow::renameCharacter()
{
    const auto index = m_roster.current();
    if (index
        && askName(tr("Charakter umbenennen"), tr("Neuer Name des Charakters:"), qt(m_roster.characters()[*index].name),
            [this, index](const std::string& name) { return m_roster.renameCharacter(*index, name); })) {
        changed(currentRow());
    }
}

void TalentsWindow::deleteCharacter()
{
    const auto index = m_roster.current();
    if (!index) {
        return;
    }
    const Character& character = m_roster.characters()[*index];
    if (QMessageBox::question(this, tr("Charakter löschen"),
            tr("%1 mit allen %n Talenten löschen?", nullptr, static_cast<int>(character.talents.size()))
                .arg(qt(character.name)),
            QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
        == QMessageBox::Yes) {
        m_roster.removeCharacter(*index);
        changed(0);
    }
}

void TalentsWindow::addTalent()
{
    const auto index = m_roster.current();
    if (!index) {
        return;
    }
    QString name;
    if (!askName(tr("Talent hinzufügen"), tr("Name des Talents:"), {}, [this, index, &name](const std::string& n) {
            const Refusal refusal = m_roster.talentNameRefusal(*index, n);
            name = qt(n);
            return refusal;
        })) {
        return;
    }
    bool ok = false;
    const int step = QInputDialog::getInt(
        this, tr("Talent hinzufügen"), tr("Stufe von %1:").arg(name.trimmed()), 10, kFirstStep, kLastStep, 1, &ok);
    if (ok && !m_roster.addTalent(*index, name.toStdString(), step)) {
        changed(static_cast<int>(m_roster.characters()[*index].talents.size()) - 1);
    }
}

void TalentsWindow::renameTalent()
{
    if (const auto c = chosen(); c
        && askName(tr("Talent umbenennen"), tr("Neuer Name des Talents:"), qt(c->talent.name),
            [this, c](const std::string& name) { return m_roster.renameTalent(c->character, c->row, name); })) {
        changed(static_cast<int>(c->row));
    }
}

void TalentsWindow::changeStep()
{
    const auto c = chosen();
    if (!c) {
        return;
    }
    bool ok = false;
    const int step = QInputDialog::getInt(this, tr("Stufe ändern"), tr("Stufe von %1:").arg(qt(c->talent.name)),
        c->talent.step, kFirstStep, kLastStep, 1, &ok);
    if (ok && !m_roster.setTalentStep(c->character, c->row, step)) {
        changed(static_cast<int>(c->row));
    }
}

void TalentsWindow::deleteTalent()
{
    const auto c = chosen();
    if (c
        && QMessageBox::question(this, tr("Talent löschen"), tr("Das Talent %1 löschen?").arg(qt(c->talent.name)),
               QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
            == QMessageBox::Yes) {
        m_roster.removeTalent(c->character, c->row);
        changed(static_cast<int>(c->row));
    }
}

} // namespace velmora
