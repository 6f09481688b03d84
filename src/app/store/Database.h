#pragma once

#include "steps/RollLog.h"
#include "talents/Roster.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace velmora {

// The one SQLite database that keeps the latest rolls, the characters and
// their talents: "velmora.sqlite" in the user's data folder. Every change is
// a transaction of its own, so that a crash, a full disk or a second
// Velmora at once leaves it whole. Used on one thread only, which may wait
// on the disk: never the window's.
class Database {
public:
    static constexpr int kSchema = 1;

    // What went wrong, by the cause a player can act on.
    enum class Fault {
        None,
        Busy, // another program holds the database for the moment
        Full, // the disk, or the database's limit
        NoPermission,
        Damaged, // and could not be kept aside
        Newer, // a newer Velmora's database, left untouched
        CannotOpen,
        Other,
    };

    struct Paths {
        QString database;
        // The files of earlier versions, taken in once when the database is new.
        QString logFile;
        QString talentsFile;
    };
    // In the user's folders.
    static Paths userPaths();

    // `pragmas` are run on every opening, after the program's own: a full
    // disk ("max_page_count") or a read-only one ("query_only") without either.
    explicit Database(Paths paths, QStringList pragmas = {});
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    const Paths& paths() const { return m_paths; }

    struct Opened {
        Fault fault = Fault::None;
        // Sentences to tell the player: a damaged database kept aside, the
        // older files taken in or not.
        QStringList notes;
    };
    // Opens the database, or makes it: one that is no database is kept
    // aside as "….unlesbar-DATE" and a new one started, the older files
    // taken in. Reads no more of it than its first page.
    Opened open();
    // Reads every page of the open database: one that fails is kept aside
    // and a new one opened, as above. Takes as long as the file is large.
    Opened check();
    bool isOpen() const { return m_open; }
    void close();

    // The roll, and the oldest beyond RollLog::kCapacity gone, in one
    // transaction. A roll already kept is not kept twice.
    Fault addRoll(const RollLog::Entry& entry);
    Fault removeRolls(const std::vector<std::uint64_t>& ids);

    struct Rolls {
        std::vector<RollLog::Entry> rolls; // the latest RollLog::kCapacity, in the order rolled
        int skipped = 0; // rows that the rules refuse
        Fault fault = Fault::None;
    };
    Rolls latestRolls();

    struct Talents {
        Roster roster;
        int skipped = 0; // characters and talents that the rules refuse
        Refusal refusal; // of a change
        Fault fault = Fault::None;
    };
    Talents talents();
    // One change, made to the talents as the database holds them now, in
    // one transaction; nothing changes where it is refused.
    Talents changeTalents(const std::function<Refusal(Roster&)>& change);

    // The main window's geometry and its docks' state as Qt saves them,
    // empty before the first was kept; and the player's settings by name.
    struct Layout {
        QByteArray geometry;
        QByteArray state;
        QHash<QString, QByteArray> settings;
        Fault fault = Fault::None;
    };
    Layout layout();
    Fault keepLayout(const QByteArray& geometry, const QByteArray& state);
    Fault keepSetting(const QString& name, const QByteArray& value);

    // Changes whenever another connection commits.
    std::optional<std::int64_t> dataVersion();

    // A fault's cause, for messages: SQLite's own words.
    const QString& lastError() const { return m_lastError; }

private:
    Opened openOnce(bool keepDamagedAside);
    QString keepAside();
    Fault create(QStringList& notes);
    Fault writeTalents(const Roster& roster);
    Talents readTalents();

    Paths m_paths;
    QStringList m_pragmas;
    QString m_connection;
    bool m_open = false;
    QString m_lastError;
};

} // namespace velmora
