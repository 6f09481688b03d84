#include "app/talents/TalentsView.h"

#include "app/access/Announcer.h"
#include "app/access/FocusedItem.h"
#include "app/desktop/FlowLayout.h"
#include "app/desktop/HeldKeys.h"
#include "app/odds/OddsText.h"
#include "app/session/Session.h"
#include "app/store/Keeper.h"
#include "app/talents/AskDialog.h"
#include "karma/KarmaState.h"
#include "odds/Odds.h"
#include "steps/StepTable.h"
#include "text/RollText.h"

#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QShortcut>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <limits>
#include <utility>

namespace velmora {
namespace {

QString qt(const std::string& text) { return QString::fromStdString(text); }

// A change to the character or talent of that name, wherever the file now
// has it; refused where another program deleted it meanwhile.
Refusal withCharacter(Roster& roster, const std::string& name, const std::function<Refusal(std::size_t)>& change)
{
    const auto character = roster.characterIndex(name);
    return character ? change(*character) : Refusal(name + " gibt es nicht mehr.");
}

Refusal withTalent(Roster& roster, const std::string& owner, const std::string& name,
    const std::function<Refusal(std::size_t, std::size_t)>& change)
{
    return withCharacter(roster, owner, [&](std::size_t character) {
        const auto talent = roster.talentIndex(character, name);
        return talent ? change(character, *talent) : Refusal(owner + " hat kein Talent " + name + " mehr.");
    });
}

QPushButton* button(const QString& text, QWidget* parent, QLayout* layout)
{
    auto* b = new QPushButton(text, parent);
    b->setAutoDefault(false);
    layout->addWidget(b);
    return b;
}

// A talent's newest result, which a screen reader hears as "noch nicht
// gewürfelt" while there is none, worked out from its text: a second stored
// value would be a second change, and a second event, with every roll.
class ResultCell : public QTableWidgetItem {
public:
    QVariant data(int role) const override
    {
        if (role == Qt::AccessibleTextRole && text().isEmpty()) {
            return TalentsView::tr("noch nicht gewürfelt");
        }
        return QTableWidgetItem::data(role);
    }
};

} // namespace

TalentsView::TalentsView(Session& session, QWidget* parent)
    : QWidget(parent)
    , m_session(session)
    , m_keeper(session.keeper())
    , m_roster(m_keeper.roster())
{
    setObjectName(QStringLiteral("talents"));

    auto* layout = new QVBoxLayout(this);
    auto* characterRow = new FlowLayout;
    m_characterLabel = new QLabel(tr("&Charakter:"), this);
    m_characters = new QComboBox(this);
    m_characters->setObjectName(QStringLiteral("character"));
    m_characters->setAccessibleName(tr("Charakter"));
    m_characterLabel->setBuddy(m_characters);
    characterRow->addWidget(m_characterLabel);
    characterRow->addWidget(m_characters);
    m_characterButtons << button(tr("&Neuer Charakter …"), this, characterRow)
                       << button(tr("Charakter &umbenennen …"), this, characterRow)
                       << button(tr("Charakter l&öschen …"), this, characterRow);
    m_characterButtons[0]->setObjectName(QStringLiteral("newCharacter"));
    layout->addLayout(characterRow);

    // The karma, one state with the board's, changed here too.
    auto* karmaRow = new FlowLayout;
    m_karma = new QLabel(this);
    m_karma->setObjectName(QStringLiteral("talentKarma"));
    karmaRow->addWidget(m_karma);
    auto* less = button(tr("Karma −"), this, karmaRow);
    auto* more = button(tr("Karma +"), this, karmaRow);
    less->setObjectName(QStringLiteral("karmaDown"));
    more->setObjectName(QStringLiteral("karmaUp"));
    less->setAccessibleName(tr("Karma niedriger"));
    more->setAccessibleName(tr("Karma höher"));
    connect(less, &QPushButton::clicked, this, [this] { m_session.stepKarma(-1); });
    connect(more, &QPushButton::clicked, this, [this] { m_session.stepKarma(1); });
    layout->addLayout(karmaRow);

    m_table = new QTableWidget(0, 5, this);
    m_table->setObjectName(QStringLiteral("talentTable"));
    m_table->setHorizontalHeaderLabels({tr("Talent"), tr("Stufe"), tr("Würfel"), tr("Mittel"), tr("Zuletzt")});
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
    keepCurrentWithFocus(m_table);
    layout->addWidget(m_table, 1);

    auto* talentRow = new FlowLayout;
    m_talentButtons << button(tr("&Würfeln"), this, talentRow) << button(tr("Talent hin&zufügen …"), this, talentRow)
                    << button(tr("&Talent umbenennen …"), this, talentRow)
                    << button(tr("Stu&fe ändern …"), this, talentRow)
                    << button(tr("Talent &löschen …"), this, talentRow);
    layout->addLayout(talentRow);
    m_latest = new QLabel(this);
    m_latest->setObjectName(QStringLiteral("latestTalentRoll"));
    layout->addWidget(m_latest);

    connect(m_characters, &QComboBox::activated, this, [this](int index) {
        if (index >= 0 && index < static_cast<int>(m_roster.characters().size())) {
            const std::string name = m_roster.characters()[static_cast<std::size_t>(index)].name;
            change(
                [name](Roster& roster) {
                    return withCharacter(roster, name, [&](std::size_t c) {
                        roster.setCurrent(c);
                        return Refusal();
                    });
                },
                0);
            // Up and Down in the closed box are otherwise silent.
            m_announcer->announce(qt(name));
        }
    });
    connect(m_characterButtons[0], &QPushButton::clicked, this, &TalentsView::newCharacter);
    connect(m_characterButtons[1], &QPushButton::clicked, this, &TalentsView::renameCharacter);
    connect(m_characterButtons[2], &QPushButton::clicked, this, &TalentsView::deleteCharacter);
    connect(m_talentButtons[0], &QPushButton::clicked, this, [this] { rollRow(currentRow()); });
    connect(m_talentButtons[1], &QPushButton::clicked, this, &TalentsView::addTalent);
    connect(m_talentButtons[2], &QPushButton::clicked, this, &TalentsView::renameTalent);
    connect(m_talentButtons[3], &QPushButton::clicked, this, &TalentsView::changeStep);
    connect(m_talentButtons[4], &QPushButton::clicked, this, &TalentsView::deleteTalent);
    connect(m_table, &QTableWidget::cellDoubleClicked, this, [this](int row, int) { rollRow(row); });
    // Each change of the label is an event.
    auto* karmaPaced = new PacedUpdate([this] { showKarma(); }, this);
    connect(&session, &Session::karmaChanged, karmaPaced, &PacedUpdate::request);
    connect(&session, &Session::rolled, this, &TalentsView::rolled);
    connect(&session, &Session::logReplaced, this, &TalentsView::showResults);
    connect(&m_keeper, &Keeper::rosterReplaced, this, [this] {
        // Not under a question about the talents as they were: its answer
        // is made by name, and the window follows once it is answered.
        if (QWidget* modal = QApplication::activeModalWidget()) {
            m_stale = true;
            // Answered or declined, the window then shows what is now kept.
            const auto type = static_cast<Qt::ConnectionType>(Qt::QueuedConnection | Qt::UniqueConnection);
            if (auto* dialog = qobject_cast<QDialog*>(modal)) {
                connect(dialog, &QDialog::finished, this, &TalentsView::followIfStale, type);
            }
            connect(modal, &QObject::destroyed, this, &TalentsView::followIfStale, type);
            return;
        }
        followKeeper();
    });
    m_talentButtons[1]->setToolTip(tr("Strg+N oder Einfügen"));
    ReturnPresses::install(this);
    m_announcer = new Announcer(this);
    refresh();
    fitKarmaLabel();
    showKarma();
}

void TalentsView::fitKarmaLabel()
{
    // As wide as its widest text, so that the buttons beside it stay put
    // as the karma changes.
    const QString shown = m_karma->text();
    m_karma->setText(tr("Kein Karma"));
    int widest = m_karma->sizeHint().width();
    for (std::size_t level = 1; level <= karmaTable().size(); ++level) {
        m_karma->setText(qt(karmaName(static_cast<int>(level))));
        widest = std::max(widest, m_karma->sizeHint().width());
    }
    m_karma->setText(shown);
    m_karma->setFixedWidth(widest);
}

void TalentsView::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        fitKarmaLabel();
    }
}

void TalentsView::showKarma()
{
    const int level = m_session.karmaLevel();
    m_karma->setText(level == 0 ? tr("Kein Karma") : qt(karmaName(level)));
}

void TalentsView::rolled(const RollRecord& roll)
{
    if (roll.talent.empty()) {
        return;
    }
    // Said by the board with the talent's name; shown here for the eye.
    m_latest->setText(tr("%1: %2").arg(qt(roll.talent), qt(rolltext::result(roll))));
    showResults();
}

void TalentsView::followKeeper()
{
    // The chosen talent stays chosen by its name, wherever another
    // Velmora's change moved its row: Return must roll what the player chose.
    const auto before = chosen();
    const std::string name = before ? before->talent.name : std::string();
    m_roster = m_keeper.roster();
    const auto character = m_roster.current();
    const auto talent = character && before ? m_roster.talentIndex(*character, name) : std::nullopt;
    refresh(talent ? static_cast<int>(*talent) : currentRow());
}

void TalentsView::followIfStale()
{
    if (std::exchange(m_stale, false)) {
        followKeeper();
    }
}

void TalentsView::showEvent(QShowEvent* event)
{
    followIfStale();
    m_keeper.lookForChanges();
    QWidget::showEvent(event);
}

void TalentsView::open()
{
    // With no character yet there is no talent to reach: the first step is
    // to make one, which Tab from the empty table would pass by.
    if (m_roster.characters().empty()) {
        m_characterButtons[0]->setFocus(Qt::ShortcutFocusReason);
        return;
    }
    m_table->setFocus(Qt::ShortcutFocusReason);
}

std::optional<TalentsView::Chosen> TalentsView::chosen() const
{
    const auto character = m_roster.current();
    const int row = currentRow();
    if (!character || row < 0 || row >= static_cast<int>(m_roster.characters()[*character].talents.size())) {
        return std::nullopt;
    }
    return Chosen{*character, static_cast<std::size_t>(row),
        m_roster.characters()[*character].talents[static_cast<std::size_t>(row)]};
}

int TalentsView::currentRow() const { return chosenRow(m_table); }

void TalentsView::rollRow(int row)
{
    const Character* character = m_roster.currentCharacter();
    if (character == nullptr || row < 0 || row >= static_cast<int>(character->talents.size())) {
        return;
    }
    const Talent& talent = character->talents[static_cast<std::size_t>(row)];
    m_session.rollTalent(character->name, talent.name, talent.step);
}

bool TalentsView::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != m_table) {
        return QWidget::eventFilter(watched, event);
    }
    if (event->type() == QEvent::FocusIn) {
        tellFocusedCellLater(m_table);
    }
    if (event->type() == QEvent::KeyRelease && static_cast<QKeyEvent*>(event)->key() == m_pendingKey
        && !static_cast<QKeyEvent*>(event)->isAutoRepeat()) {
        openPending();
    }
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        // One rule for held keys, as on the board: a held key acts once.
        const bool repeat = HeldKeys::instance().pressIsRepeat(*key);
        const Qt::KeyboardModifiers modifiers = key->modifiers() & ~Qt::KeypadModifier;
        // Shift too: on many layouts "+" is a shifted key.
        if ((key->key() == Qt::Key_Plus || key->key() == Qt::Key_Minus)
            && (modifiers == Qt::NoModifier || modifiers == Qt::ShiftModifier)) {
            if (!repeat) {
                m_session.stepKarma(key->key() == Qt::Key_Plus ? 1 : -1);
            }
            return true;
        }
        // Insert too, which a screen reader takes for its own modifier.
        if (modifiers == Qt::ControlModifier && key->key() == Qt::Key_N) {
            if (!repeat) {
                openOnRelease(key->key(), &TalentsView::addTalent);
            }
            return true;
        }
        if (modifiers == Qt::NoModifier) {
            switch (key->key()) {
            case Qt::Key_Return:
            case Qt::Key_Enter:
                if (!repeat) {
                    rollRow(currentRow());
                }
                return true;
            case Qt::Key_Insert:
                if (!repeat) {
                    openOnRelease(key->key(), &TalentsView::addTalent);
                }
                return true;
            case Qt::Key_F2:
                if (!repeat) {
                    openOnRelease(key->key(), &TalentsView::renameTalent);
                }
                return true;
            case Qt::Key_Delete:
                if (!repeat) {
                    openOnRelease(key->key(), &TalentsView::deleteTalent);
                }
                return true;
            default:
                break;
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TalentsView::openOnRelease(int key, void (TalentsView::*open)())
{
    m_pendingKey = key;
    m_pendingOpen = open;
    // Where the release goes elsewhere, the dialog opens all the same.
    QTimer::singleShot(kReleaseWaitMs, this, [this, serial = ++m_pendingSerial] {
        if (serial == m_pendingSerial) {
            openPending();
        }
    });
}

void TalentsView::openPending()
{
    const auto open = std::exchange(m_pendingOpen, nullptr);
    m_pendingKey = 0;
    ++m_pendingSerial;
    if (open != nullptr) {
        (this->*open)();
    }
}

void TalentsView::showResults()
{
    const Character* current = m_roster.currentCharacter();
    if (current == nullptr) {
        return;
    }
    // The newest roll of each of the character's talents, newest first.
    const RollLog& log = m_session.log();
    for (int row = 0; row < m_table->rowCount(); ++row) {
        const std::string& name = current->talents[static_cast<std::size_t>(row)].name;
        QString result;
        for (std::size_t i = log.size(); i-- > 0;) {
            const RollRecord& roll = log[i].roll;
            if (roll.talent == name && roll.character == current->name) {
                result = qt(rolltext::result(roll));
                break;
            }
        }
        QTableWidgetItem* item = m_table->item(row, 4);
        if (item == nullptr) {
            item = new ResultCell;
            item->setText(result);
            m_table->setItem(row, 4, item);
        } else if (item->text() != result) {
            item->setText(result);
            tellCellRenamed(m_table, row, 4);
        }
    }
}

void TalentsView::refresh(int selectRow)
{
    m_characters->clear();
    for (const Character& character : m_roster.characters()) {
        m_characters->addItem(qt(character.name));
    }
    const Character* current = m_roster.currentCharacter();
    if (current != nullptr) {
        m_characters->setCurrentIndex(static_cast<int>(*m_roster.current()));
    }
#if QT_VERSION >= QT_VERSION_CHECK(6, 8, 0)
    // Qt 6.8's box tells its choice itself.
    m_characterLabel->setAccessibleName(tr("Charakter"));
#else
    // A screen reader finds no value in Qt 6.4's closed box, and says the
    // label it names: the chosen character is said with it.
    m_characterLabel->setAccessibleName(
        current != nullptr ? tr("Charakter: %1").arg(qt(current->name)) : tr("Charakter: noch keiner"));
#endif
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
    showResults();
    // Inside the dock that a screen reader names "Talente" as it is entered.
    m_table->setAccessibleName(current != nullptr ? qt(current->name) : tr("Noch kein Charakter"));
    m_table->setAccessibleDescription(current == nullptr ? tr("Neuer Charakter legt einen an.")
            : current->talents.empty()                   ? tr("Noch keine Talente; Strg+N fügt eines hinzu.")
                                                         : QString());
    if (m_table->rowCount() > 0) {
        chooseRow(m_table, std::clamp(selectRow, 0, m_table->rowCount() - 1));
    }
    for (QPushButton* b : m_characterButtons.mid(1)) {
        b->setEnabled(current != nullptr);
    }
    m_talentButtons[1]->setEnabled(current != nullptr);
    for (QPushButton* b : {m_talentButtons[0], m_talentButtons[2], m_talentButtons[3], m_talentButtons[4]}) {
        b->setEnabled(m_table->rowCount() > 0);
    }
}

void TalentsView::change(const std::function<Refusal(Roster&)>& change, int selectRow)
{
    const Refusal refusal = m_keeper.changeTalents(change);
    m_roster = m_keeper.roster();
    m_stale = false;
    refresh(selectRow);
    if (refusal) {
        QMessageBox::warning(this, tr("Talente"), qt(*refusal));
    }
}

bool TalentsView::askName(
    const QString& title, const QString& label, QString text, const std::function<Refusal(const std::string&)>& apply)
{
    QString prompt = label;
    for (;;) {
        const std::optional<QString> typed = AskDialog::name(this, title, prompt, text);
        if (!typed) {
            return false;
        }
        text = *typed;
        const Refusal refusal = apply(text.toStdString());
        if (!refusal) {
            return true;
        }
        prompt = qt(*refusal) + QLatin1Char('\n') + label;
    }
}

void TalentsView::newCharacter()
{
    std::string name;
    if (askName(tr("Neuer Charakter"), tr("Name des Charakters:"), {}, [this, &name](const std::string& n) {
            name = n;
            return m_roster.characterNameRefusal(n);
        })) {
        change([name](Roster& roster) { return roster.addCharacter(name); }, 0);
        // Where its talents are added, by Ctrl+N or "Talent hinzufügen".
        m_table->setFocus(Qt::OtherFocusReason);
    }
}

void TalentsView::renameCharacter()
{
    const Character* current = m_roster.currentCharacter();
    if (current == nullptr) {
        return;
    }
    const std::string old = current->name;
    std::string name;
    if (askName(
            tr("Charakter umbenennen"), tr("Neuer Name des Charakters:"), qt(old), [this, &name](const std::string& n) {
                name = n;
                return m_roster.characterNameRefusal(n, m_roster.current());
            })) {
        change(
            [old, name](Roster& roster) {
                return withCharacter(roster, old, [&](std::size_t c) { return roster.renameCharacter(c, name); });
            },
            currentRow());
    }
}

QString TalentsView::deleteQuestion(const QString& name, std::size_t talents)
{
    // German has a singular: "mit allen 1 Talenten" is no German.
    switch (talents) {
    case 0:
        return tr("%1 löschen? Es hat keine Talente.").arg(name);
    case 1:
        return tr("%1 mit dem einen Talent löschen?").arg(name);
    default:
        return tr("%1 mit allen %2 Talenten löschen?").arg(name).arg(talents);
    }
}

void TalentsView::deleteCharacter()
{
    const Character* current = m_roster.currentCharacter();
    if (current == nullptr) {
        return;
    }
    const std::string name = current->name;
    const std::size_t talents = current->talents.size();
    if (QMessageBox::question(this, tr("Charakter löschen"), deleteQuestion(qt(name), talents),
            QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
        == QMessageBox::Yes) {
        // What the question counted, or nothing: another Velmora may have
        // given the character a talent meanwhile.
        change(
            [name, talents](Roster& roster) {
                return withCharacter(roster, name, [&](std::size_t c) {
                    if (roster.characters()[c].talents.size() != talents) {
                        return Refusal(tr("%1 hat inzwischen %2 Talente und wurde nicht gelöscht.")
                                           .arg(qt(name))
                                           .arg(roster.characters()[c].talents.size())
                                           .toStdString());
                    }
                    roster.removeCharacter(c);
                    return Refusal();
                });
            },
            0);
    }
}

void TalentsView::addTalent()
{
    const Character* current = m_roster.currentCharacter();
    if (current == nullptr) {
        return;
    }
    const std::string owner = current->name;
    // Titled apart from the name's dialog: Orca takes a window of the same
    // title that follows at once for the one still active, and says no dialog.
    // Made before the name is asked (see AskDialog::numberDialog).
    const QPointer<AskDialog> stepDialog =
        AskDialog::numberDialog(this, tr("Stufe des neuen Talents"), 10, kFirstStep, kLastStep);
    std::string name;
    if (!askName(tr("Talent hinzufügen"), tr("Name des Talents:"), {}, [this, &name](const std::string& n) {
            name = n;
            return m_roster.talentNameRefusal(*m_roster.current(), n);
        })) {
        delete stepDialog;
        return;
    }
    const std::optional<int> step = AskDialog::askNumber(stepDialog, tr("Stufe von %1:").arg(qt(trimmedName(name))));
    if (step) {
        change(
            [owner, name, step = *step](Roster& roster) {
                return withCharacter(roster, owner, [&](std::size_t c) { return roster.addTalent(c, name, step); });
            },
            std::numeric_limits<int>::max());
        // On the new talent, where Return rolls it; not on the button that
        // added it, while a screen reader would say the table.
        m_table->setFocus(Qt::OtherFocusReason);
    }
}

void TalentsView::renameTalent()
{
    const auto chosenNow = chosen();
    if (!chosenNow) {
        return;
    }
    const std::string owner = m_roster.characters()[chosenNow->character].name;
    const std::string old = chosenNow->talent.name;
    std::string name;
    if (askName(tr("Talent umbenennen"), tr("Neuer Name des Talents:"), qt(old),
            [this, &chosenNow, &name](const std::string& n) {
                name = n;
                return m_roster.talentNameRefusal(chosenNow->character, n, chosenNow->row);
            })) {
        change(
            [owner, old, name](Roster& roster) {
                return withTalent(
                    roster, owner, old, [&](std::size_t c, std::size_t t) { return roster.renameTalent(c, t, name); });
            },
            static_cast<int>(chosenNow->row));
    }
}

void TalentsView::changeStep()
{
    const auto chosenNow = chosen();
    if (!chosenNow) {
        return;
    }
    const std::optional<int> step = AskDialog::number(this, tr("Stufe ändern"),
        tr("Stufe von %1:").arg(qt(chosenNow->talent.name)), chosenNow->talent.step, kFirstStep, kLastStep);
    if (step) {
        const std::string owner = m_roster.characters()[chosenNow->character].name;
        const std::string name = chosenNow->talent.name;
        change(
            [owner, name, step = *step](Roster& roster) {
                return withTalent(roster, owner, name,
                    [&](std::size_t c, std::size_t t) { return roster.setTalentStep(c, t, step); });
            },
            static_cast<int>(chosenNow->row));
    }
}

void TalentsView::deleteTalent()
{
    const auto chosenNow = chosen();
    if (chosenNow
        && QMessageBox::question(this, tr("Talent löschen"),
               tr("Das Talent %1 löschen?").arg(qt(chosenNow->talent.name)), QMessageBox::Yes | QMessageBox::No,
               QMessageBox::No)
            == QMessageBox::Yes) {
        const std::string owner = m_roster.characters()[chosenNow->character].name;
        const std::string name = chosenNow->talent.name;
        change(
            [owner, name](Roster& roster) {
                return withTalent(roster, owner, name, [&](std::size_t c, std::size_t t) {
                    roster.removeTalent(c, t);
                    return Refusal();
                });
            },
            static_cast<int>(chosenNow->row));
    }
}

void TalentsView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    fitWrappedRows(this, m_table);
}

} // namespace velmora
