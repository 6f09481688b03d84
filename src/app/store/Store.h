#pragma once

#include "steps/RollLog.h"
#include "talents/Roster.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace velmora {

// What keeps the rolls, the characters and their talents across runs, as the
// keeper's thread sees it. Its code, with Qt SQL, is a module of its own,
// loaded by that thread once the window is on screen: a window that waits
// for nothing it does not show starts as fast as a bare one.
class Store {
public:
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

    // The store's module loaded, and a store made by it; or why not, in
    // plain German. `pragmas` as for Database.
    struct Made {
        std::unique_ptr<Store> store;
        QString problem;
    };
    static Made make(const Paths& paths, const QStringList& pragmas);
    // A maker in place of the module, for a program that has the store's
    // code linked in.
    using Maker = std::function<Made(const Paths&, const QStringList&)>;
    static void makeWith(Maker maker);

    virtual ~Store() = default;
    Store() = default;
    Store(const Store&) = delete;
    Store& operator=(const Store&) = delete;

    virtual const Paths& paths() const = 0;

    struct Opened {
        Fault fault = Fault::None;
        // Sentences to tell the player: a damaged database kept aside, the
        // older files taken in or not.
        QStringList notes;
    };
    // Opens the database, or makes it: one that is no database is kept
    // aside as "….unlesbar-DATE" and a new one started, the older files
    // taken in. Reads no more of it than its first page.
    virtual Opened open() = 0;
    // Reads every page of the open database: one that fails is kept aside
    // and a new one opened, as above. Takes as long as the file is large.
    virtual Opened check() = 0;
    virtual bool isOpen() const = 0;
    virtual void close() = 0;

    // The roll, and the oldest beyond RollLog::kCapacity gone, in one
    // transaction. A roll already kept is not kept twice.
    virtual Fault addRoll(const RollLog::Entry& entry) = 0;
    virtual Fault removeRolls(const std::vector<std::uint64_t>& ids) = 0;

    struct Rolls {
        std::vector<RollLog::Entry> rolls; // the latest RollLog::kCapacity, in the order rolled
        int skipped = 0; // rows that the rules refuse
        Fault fault = Fault::None;
    };
    virtual Rolls latestRolls() = 0;

    struct Talents {
        Roster roster;
        int skipped = 0; // characters and talents that the rules refuse
        Refusal refusal; // of a change
        Fault fault = Fault::None;
    };
    virtual Talents talents() = 0;
    // One change, made to the talents as the database holds them now, in
    // one transaction; nothing changes where it is refused.
    virtual Talents changeTalents(const std::function<Refusal(Roster&)>& change) = 0;

    // The main window's geometry and its docks' state as Qt saves them,
    // empty before the first was kept; and the player's settings by name.
    struct Layout {
        QByteArray geometry;
        QByteArray state;
        QHash<QString, QByteArray> settings;
        Fault fault = Fault::None;
    };
    virtual Layout layout() = 0;
    virtual Fault keepLayout(const QByteArray& geometry, const QByteArray& state) = 0;
    virtual Fault keepSetting(const QString& name, const QByteArray& value) = 0;

    // Changes whenever another connection commits.
    virtual std::optional<std::int64_t> dataVersion() = 0;

    // A fault's cause, for messages: SQLite's own words.
    virtual const QString& lastError() const = 0;
};

} // namespace velmora
