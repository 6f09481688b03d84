#pragma once

#include "app/store/Keeper.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QString>

#include <array>
#include <cstdint>
#include <vector>

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
    // True for the first roll of an evening, after a pause as long as the
    // one that ends "Heute": newest first, a line is drawn beneath it.
    static constexpr int EveningStartsRole = Qt::UserRole + 1;

    explicit RollLogModel(Keeper& keeper, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    // Older rolls, read from the database as the view comes to them.
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;

    // The newest roll, above the others.
    void rollAdded();
    // The log replaced as a whole.
    void reload();

    // Only these rolls, newest first, as a look back chose them; or every
    // roll kept again.
    void showOnly(std::vector<RollLog::Entry> rolls);
    void showAll();
    bool chosenOnly() const { return m_chosenOnly; }

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

    void olderRead(int count);

    Keeper& m_keeper;
    int m_rows = 0;
    bool m_chosenOnly = false;
    std::vector<RollLog::Entry> m_chosen;
    // By roll id; let go of wholesale once it holds far more than a view shows.
    mutable QHash<std::uint64_t, Words> m_words;
};

} // namespace velmora
