#include "app/log/RollLogModel.h"

#include "app/log/LuckChart.h"
#include "odds/Luck.h"
#include "text/LuckText.h"
#include "text/RollText.h"

#include <QDateTime>

#include <optional>

namespace velmora {
namespace {

QString qt(const std::string& text) { return QString::fromStdString(text); }

constexpr qsizetype kMostWordsKept = 512;

} // namespace

RollLogModel::RollLogModel(Keeper& keeper, QObject* parent)
    : QAbstractTableModel(parent)
    , m_keeper(keeper)
    , m_rows(static_cast<int>(keeper.rows()))
{
    connect(&keeper, &Keeper::olderRead, this, &RollLogModel::olderRead);
}

bool RollLogModel::canFetchMore(const QModelIndex& parent) const
{
    return !parent.isValid() && !m_chosenOnly && m_keeper.hasOlder();
}

void RollLogModel::fetchMore(const QModelIndex& parent)
{
    if (!parent.isValid()) {
        m_keeper.readOlder();
    }
}

void RollLogModel::olderRead(int count)
{
    const int rows = static_cast<int>(m_keeper.rows());
    if (count > 0 && rows > m_rows && !m_chosenOnly) {
        beginInsertRows({}, m_rows, rows - 1);
        m_rows = rows;
        endInsertRows();
    }
}

int RollLogModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : m_rows; }

int RollLogModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : Columns; }

const RollLog::Entry* RollLogModel::entryAt(int row) const
{
    if (row < 0 || row >= m_rows) {
        return nullptr;
    }
    return m_chosenOnly ? &m_chosen[static_cast<std::size_t>(row)] : m_keeper.entryAt(static_cast<std::size_t>(row));
}

int RollLogModel::rowOf(std::uint64_t id) const
{
    for (int row = 0; row < m_rows; ++row) {
        if (const RollLog::Entry* entry = entryAt(row); entry != nullptr && entry->id == id) {
            return row;
        }
    }
    return -1;
}

const RollLogModel::Words& RollLogModel::wordsOf(const RollLog::Entry& entry) const
{
    if (const auto found = m_words.constFind(entry.id); found != m_words.cend()) {
        return *found;
    }
    if (m_words.size() >= kMostWordsKept) {
        m_words.clear();
    }
    rolltext::LogCells shown = rolltext::logCells(entry.roll, entry.time);
    rolltext::LogCells said = rolltext::spokenLogCells(entry.roll, entry.time);
    // Its day where it is not today; a roll kept before rolls had dates has none.
    if (entry.when > 0) {
        const auto dayOf = [](const QDate& date) {
            return rolltext::Day{date.year(), static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day())};
        };
        const rolltext::Day day = dayOf(QDateTime::fromMSecsSinceEpoch(entry.when).date());
        const rolltext::Day today = dayOf(QDate::currentDate());
        if (const std::string label = rolltext::dayLabel(day, today); !label.empty()) {
            shown.time = label + ' ' + shown.time;
            said.time = rolltext::spokenDayLabel(day, today) + ", " + said.time;
        }
    }
    QString luckShown;
    QString luckSaid;
    if (const RollOdds* odds = oddsOf(sharedOdds(), entry.roll)) {
        if (const std::optional<double> luck = luckOf(*odds, entry.roll)) {
            luckShown = qt(rolltext::luckCell(*luck));
            luckSaid = qt(rolltext::spokenLuck(*luck));
        }
    }
    Words words;
    words.shown = {qt(shown.time), qt(shown.result), luckShown, qt(shown.what), qt(shown.karma), qt(shown.dice)};
    // Heard without the punctuation that a screen reader names.
    words.said = {qt(said.time), qt(said.result), luckSaid, qt(said.what), qt(said.karma), qt(said.dice)};
    words.line = qt(rolltext::logLine(entry.roll, entry.time));
    return *m_words.insert(entry.id, std::move(words));
}

QVariant RollLogModel::data(const QModelIndex& index, int role) const
{
    const RollLog::Entry* entry = index.isValid() ? entryAt(index.row()) : nullptr;
    if (entry == nullptr) {
        return {};
    }
    switch (role) {
    case EveningStartsRole: {
        const RollLog::Entry* before = entryAt(index.row() + 1);
        return before != nullptr && entry->when - before->when >= kEveningPauseMs;
    }
    case Qt::DisplayRole:
        return wordsOf(*entry).shown[static_cast<std::size_t>(index.column())];
    case Qt::AccessibleTextRole:
        return wordsOf(*entry).said[static_cast<std::size_t>(index.column())];
    case Qt::ToolTipRole:
        return wordsOf(*entry).line;
    case Qt::TextAlignmentRole:
        return index.column() == Result || index.column() == Luck ? QVariant(Qt::AlignRight | Qt::AlignVCenter)
                                                                  : QVariant(Qt::AlignLeft | Qt::AlignVCenter);
    default:
        return {};
    }
}

QVariant RollLogModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && section == Luck && role == Qt::ToolTipRole) {
        return luckExplained();
    }
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) {
        return QAbstractTableModel::headerData(section, orientation, role);
    }
    switch (section) {
    case Time:
        return tr("Zeit");
    case Result:
        return tr("Ergebnis");
    case Luck:
        return tr("Glück");
    case What:
        return tr("Wurf");
    case Karma:
        return tr("Karma");
    case Dice:
        return tr("Würfel");
    default:
        return {};
    }
}

void RollLogModel::rollAdded()
{
    if (static_cast<std::size_t>(m_rows) >= m_keeper.rows()) {
        return;
    }
    beginInsertRows({}, 0, 0);
    ++m_rows;
    endInsertRows();
}

void RollLogModel::showOnly(std::vector<RollLog::Entry> rolls)
{
    beginResetModel();
    m_chosenOnly = true;
    m_chosen = std::move(rolls);
    m_rows = static_cast<int>(m_chosen.size());
    endResetModel();
}

void RollLogModel::showAll()
{
    m_chosenOnly = false;
    m_chosen = {};
    reload();
}

void RollLogModel::reload()
{
    if (m_chosenOnly) {
        return; // until the next look back
    }
    beginResetModel();
    m_rows = static_cast<int>(m_keeper.rows());
    m_words.clear();
    endResetModel();
}

} // namespace velmora
