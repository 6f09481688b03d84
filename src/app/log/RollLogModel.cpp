#include "app/log/RollLogModel.h"

#include "odds/Luck.h"
#include "text/LuckText.h"
#include "text/RollText.h"

#include <optional>

namespace velmora {
namespace {

QString qt(const std::string& text) { return QString::fromStdString(text); }

constexpr qsizetype kMostWordsKept = 512;

} // namespace

RollLogModel::RollLogModel(const RollLog& log, QObject* parent)
    : QAbstractTableModel(parent)
    , m_log(log)
    , m_rows(static_cast<int>(log.size()))
{
}

int RollLogModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : m_rows; }

int RollLogModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : Columns; }

const RollLog::Entry* RollLogModel::entryAt(int row) const
{
    if (row < 0 || row >= m_rows || static_cast<std::size_t>(row) >= m_log.size()) {
        return nullptr;
    }
    return &m_log[m_log.size() - 1 - static_cast<std::size_t>(row)];
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
    const rolltext::LogCells shown = rolltext::logCells(entry.roll, entry.time);
    const rolltext::LogCells said = rolltext::spokenLogCells(entry.roll, entry.time);
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
    if (m_log.empty()) {
        return;
    }
    // As many as the log keeps: its oldest went as the newest came.
    if (static_cast<std::size_t>(m_rows) >= m_log.size()) {
        beginRemoveRows({}, m_rows - 1, m_rows - 1);
        --m_rows;
        endRemoveRows();
    }
    beginInsertRows({}, 0, 0);
    ++m_rows;
    endInsertRows();
}

void RollLogModel::reload()
{
    beginResetModel();
    m_rows = static_cast<int>(m_log.size());
    m_words.clear();
    endResetModel();
}

} // namespace velmora
