#pragma once

#include "steps/RollLog.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QString>

#include <array>
#include <cstdint>

namespace velmora {

// The kept rolls as a table, newest first, one row a roll with its time,
// result, luck, what was rolled, the karma and the dice. Each row's words
// are made from its roll when a view first asks for them, so that a view
// pays for the rows in sight, not for the whole log.
class RollLogModel : public QAbstractTableModel {
    Q_OBJECT

public:
    // The result right after the time, where the eye finds it and no
    // long talent's name pushes it out of sight.
    enum Column { Time, Result, Luck, What, Karma, Dice, Columns };

    explicit RollLogModel(const RollLog& log, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // The log's newest roll, above the others; its oldest gone where the
    // log was full.
    void rollAdded();
    // The log replaced as a whole.
    void reload();

    // The roll a row shows; row 0 is the newest.
    const RollLog::Entry* entryAt(int row) const;
    int rowOf(std::uint64_t id) const;

private:
    struct Words {
        std::array<QString, Columns> shown;
        std::array<QString, Columns> said;
        QString line; // the whole roll on one line, for a cell cut off
    };
    const Words& wordsOf(const RollLog::Entry& entry) const;

    const RollLog& m_log;
    int m_rows = 0;
    // By roll id; let go of wholesale once it holds far more than a view shows.
    mutable QHash<std::uint64_t, Words> m_words;
};

} // namespace velmora
