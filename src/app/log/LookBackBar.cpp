#include "app/log/LookBackBar.h"

#include "app/desktop/FlowLayout.h"
#include "text/LuckText.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QDateEdit>
#include <QDateTime>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTimer>

#include <algorithm>
#include <limits>
#include <set>

namespace velmora {
namespace {

constexpr int kSettleMs = 400;
const QDate kAnyDay(2000, 1, 1); // shown as "beliebig"

QString qt(const std::string& text) { return QString::fromStdString(text); }

// Typed or chosen: "Alle" and nothing are the same.
std::string chosenName(const QComboBox* box)
{
    const QString text = box->currentText().trimmed();
    return box->currentIndex() == 0 && text == box->itemText(0) ? std::string() : text.toStdString();
}

// An editable list of names that keeps what is typed or chosen.
void offerNames(QComboBox* box, const QStringList& names)
{
    QStringList now;
    for (int i = 1; i < box->count(); ++i) {
        now << box->itemText(i);
    }
    if (now == names || box->view()->isVisible()) {
        return; // what the player types or reads stays as it is
    }
    const QSignalBlocker quiet(box);
    const QString typed = box->currentText();
    const QString all = box->itemText(0);
    box->clear();
    box->addItem(all);
    box->addItems(names);
    box->setCurrentText(typed);
}

QDateEdit* dayField(const QString& name, QWidget* parent)
{
    auto* field = new QDateEdit(parent);
    field->setObjectName(name);
    field->setDisplayFormat(QStringLiteral("dd.MM.yyyy"));
    field->setMinimumDate(kAnyDay);
    field->setSpecialValueText(QObject::tr("beliebig"));
    field->setDate(kAnyDay);
    field->setCalendarPopup(true);
    return field;
}

} // namespace

LookBackBar::LookBackBar(QWidget* parent)
    : QWidget(parent)
    , m_character(new QComboBox(this))
    , m_talent(new QComboBox(this))
    , m_step(new QSpinBox(this))
    , m_evening(new QComboBox(this))
    , m_from(dayField(QStringLiteral("lookFrom"), this))
    , m_to(dayField(QStringLiteral("lookTo"), this))
    , m_settle(new QTimer(this))
{
    setObjectName(QStringLiteral("lookBack"));
    m_character->setObjectName(QStringLiteral("lookCharacter"));
    m_talent->setObjectName(QStringLiteral("lookTalent"));
    for (QComboBox* names : {m_character, m_talent}) {
        names->setEditable(true);
        names->setInsertPolicy(QComboBox::NoInsert);
        names->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        names->setMinimumContentsLength(10);
    }
    m_character->addItem(tr("Alle"));
    m_talent->addItem(tr("Alle"));
    m_step->setObjectName(QStringLiteral("lookStep"));
    m_step->setRange(0, 40);
    m_step->setSpecialValueText(tr("alle"));
    m_evening->setObjectName(QStringLiteral("lookEvening"));
    m_evening->addItem(tr("Alle Abende"));
    m_evening->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_evening->setMinimumContentsLength(16);

    auto* layout = new FlowLayout(this);
    layout->setContentsMargins({});
    const auto add = [this, layout](const QString& label, QWidget* field) {
        auto* pair = new QWidget(this);
        auto* row = new QHBoxLayout(pair);
        row->setContentsMargins({});
        auto* name = new QLabel(label, pair);
        name->setBuddy(field);
        row->addWidget(name);
        row->addWidget(field);
        field->setAccessibleName(QString(label).remove(QLatin1Char('&')).remove(QLatin1Char(':')));
        layout->addWidget(pair);
    };
    // Letters that no menu title and no button of either dock has; the
    // fields without one are a Tab away from the first (Ctrl+F).
    add(tr("Cha&rakter:"), m_character);
    add(tr("Talent:"), m_talent);
    add(tr("Stufe:"), m_step);
    add(tr("Abend:"), m_evening);
    add(tr("&von:"), m_from);
    add(tr("b&is:"), m_to);
    auto* all = new QPushButton(tr("Alle zei&gen"), this);
    all->setObjectName(QStringLiteral("lookAll"));
    all->setAutoDefault(false);
    layout->addWidget(all);
    connect(all, &QPushButton::clicked, this, &LookBackBar::reset);
    m_all = all;

    m_settle->setSingleShot(true);
    m_settle->setInterval(kSettleMs);
    connect(m_settle, &QTimer::timeout, this, [this] {
        if (const RollFilter now = filter(); !(now == m_told)) {
            m_told = now;
            emit filterChanged(now);
        }
    });
    for (QComboBox* box : {m_character, m_talent, m_evening}) {
        connect(box, &QComboBox::currentTextChanged, this, &LookBackBar::changed);
    }
    connect(m_step, &QSpinBox::valueChanged, this, &LookBackBar::changed);
    for (QDateEdit* day : {m_from, m_to}) {
        connect(day, &QDateEdit::dateChanged, this, &LookBackBar::changed);
    }
}

QList<QWidget*> LookBackBar::fields() const { return {m_character, m_talent, m_step, m_evening, m_from, m_to, m_all}; }

void LookBackBar::changed() { m_settle->start(); }

RollFilter LookBackBar::filter() const
{
    RollFilter chosen;
    chosen.character = chosenName(m_character);
    chosen.talent = chosenName(m_talent);
    chosen.step = m_step->value();
    const int evening = m_evening->currentIndex() - 1;
    if (evening >= 0 && evening < static_cast<int>(m_evenings.size())) {
        const PastEvening& chosenEvening = m_evenings[static_cast<std::size_t>(evening)];
        chosen.from = chosenEvening.first;
        // Tonight goes on: its next rolls belong to it.
        const bool goesOn = evening == 0 && QDateTime::currentMSecsSinceEpoch() - chosenEvening.last < kEveningPauseMs;
        chosen.before = goesOn ? std::numeric_limits<std::int64_t>::max() : chosenEvening.last + 1;
    }
    // Whole days, in local time; "bis" includes its day.
    if (m_from->date() != kAnyDay) {
        chosen.from = std::max<std::int64_t>(chosen.from, m_from->date().startOfDay().toMSecsSinceEpoch());
    }
    if (m_to->date() != kAnyDay) {
        chosen.before = std::min<std::int64_t>(chosen.before, m_to->date().addDays(1).startOfDay().toMSecsSinceEpoch());
    }
    return chosen;
}

void LookBackBar::offer(const LookedBack& looked)
{
    std::set<QString> characters;
    std::set<QString> talents;
    const std::string character = chosenName(m_character);
    for (const auto& [who, talent] : looked.talents) {
        if (!who.empty()) {
            characters.insert(qt(who));
        }
        if (!talent.empty() && (character.empty() || who == character)) {
            talents.insert(qt(talent));
        }
    }
    offerNames(m_character, {characters.begin(), characters.end()});
    offerNames(m_talent, {talents.begin(), talents.end()});

    // The chosen evening wherever it now stands, though its first or last
    // roll was deleted or another roll joined it.
    const int was = m_evening->currentIndex() - 1;
    const PastEvening chosen = was >= 0 && was < static_cast<int>(m_evenings.size())
        ? m_evenings[static_cast<std::size_t>(was)]
        : PastEvening{0, -1, {}};
    if (m_evening->view()->isVisible()) {
        return; // offered again with the next look, once the list is closed
    }
    m_evenings = looked.evenings;
    const QLocale german(QLocale::German);
    QStringList lines;
    int index = 0;
    for (std::size_t i = 0; i < m_evenings.size(); ++i) {
        const PastEvening& evening = m_evenings[i];
        const QDateTime first = QDateTime::fromMSecsSinceEpoch(evening.first);
        const QDateTime last = QDateTime::fromMSecsSinceEpoch(evening.last);
        const QString when = german.toString(first, QStringLiteral("ddd d.M.yyyy, HH:mm")) + QStringLiteral(" bis ")
            + german.toString(
                last, first.date() == last.date() ? QStringLiteral("HH:mm") : QStringLiteral("ddd d.M., HH:mm"));
        lines << qt(rolltext::pastEveningLine(when.toStdString(), evening.summary));
        if (index == 0 && evening.first <= chosen.last && evening.last >= chosen.first) {
            index = static_cast<int>(i) + 1;
        }
    }
    QStringList shown;
    for (int i = 1; i < m_evening->count(); ++i) {
        shown << m_evening->itemText(i);
    }
    const QSignalBlocker quiet(m_evening);
    if (shown != lines) {
        m_evening->clear();
        m_evening->addItem(tr("Alle Abende"));
        m_evening->addItems(lines);
    }
    m_evening->setCurrentIndex(index);
    if (!(filter() == m_told)) {
        changed(); // the evening moved, or is gone
    }
}

void LookBackBar::reset()
{
    for (QComboBox* box : {m_character, m_talent, m_evening}) {
        box->setCurrentIndex(0);
    }
    m_step->setValue(0);
    m_from->setDate(kAnyDay);
    m_to->setDate(kAnyDay);
}

void LookBackBar::focusFirst() { m_character->setFocus(Qt::ShortcutFocusReason); }

} // namespace velmora
