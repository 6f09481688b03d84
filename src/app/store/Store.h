#pragma once

#include "steps/RollLog.h"
#include "talents/Roster.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <vector>

namespace velmora {

// What keeps every roll, the characters and their talents across runs, as
// the keeper's thread sees it. Its code, with Qt SQL, is a module of its
// own, loaded by that thread once the window is on screen: a window that
// waits for nothing it does not show starts as fast as a bare one.
class Store {
public:
    // What went wrong, by the cause a player can act on.
    enum class Fault {
        None,
        Busy, // another program has held the database for seconds
        Full, // the disk
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
        // The window's layout and the player's settings, as QSettings keeps them.
        QString settings;
    };
    // In the user's folders.
    static Paths userPaths();

    // The store's module loaded, and a store made by it; or why not, in
    // plain German. `pragmas` are run on every opening, after the
    // program's own: a full disk ("max_page_count") without one.
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

    struct Opened {
        Fault fault = Fault::None;
        // Sentences to tell the player: a damaged database kept aside, the
        // older files or a journal taken in or not.
        QStringList notes;
    };
    // Opens the database, or makes it, with every table and column it
    // lacks; one that is no database is kept aside as "….unlesbar-DATE"
    // and a new one started. What an earlier run could not write is taken in.
    virtual Opened open() = 0;
    virtual bool isOpen() const = 0;
    // Closed: a database found damaged is kept aside at the next opening.
    virtual void close() = 0;

    // Rolls to add, and rolls to clear: by id, and all that were in the
    // database up to a roll's place in it. Cleared rolls are marked, not
    // deleted, so that the clearing can be undone until its mark is purged.
    struct Changes {
        std::vector<RollLog::Entry> added;
        std::vector<std::uint64_t> removed;
        std::int64_t removedUpTo = 0;
        std::int64_t mark = 0; // the clearing's, with `removed`
        std::int64_t restored = 0; // a clearing's mark lifted: its rolls back
        std::vector<std::int64_t> purged; // clearings' rolls deleted for good
        bool clears() const { return !removed.empty() || removedUpTo > 0; }
        bool empty() const { return added.empty() && !clears() && restored == 0 && purged.empty(); }
    };
    // In one transaction, in order, each one's rolls added first: a roll
    // already kept is not kept twice.
    virtual Fault write(const std::vector<Changes>& changes) = 0;
    // Changes that could not be written, in a file beside the database,
    // which the next opening takes in; none, the file removed.
    virtual Fault keepUnwritten(const std::vector<Changes>& changes) = 0;

    struct Page {
        std::vector<RollLog::Entry> rolls; // newest first
        std::vector<std::int64_t> places; // each roll's place in the database
        int skipped = 0; // rows that the rules refuse
        bool more = false; // older rolls beyond these
        std::int64_t total = 0; // of a first page: every roll in the database
        std::int64_t upTo = 0; // of a first page: the newest place
        Fault fault = Fault::None;
    };
    // The newest `count` rolls; or, with `older`, the `count` next older
    // than the last page's.
    virtual Page rolls(int count, bool older) = 0;
    // Every roll, oldest first, one after another, until a fault or `take`
    // says no more. With a place: at most `count` rolls after it, the place
    // moved past them, and whether there are more.
    struct Place {
        std::int64_t when = std::numeric_limits<std::int64_t>::min();
        std::int64_t seq = std::numeric_limits<std::int64_t>::min();
        int count = 0;
        bool more = false;
    };
    virtual Fault eachRoll(const std::function<bool(const RollLog::Entry&)>& take, Place* from = nullptr) = 0;

    struct Talents {
        Roster roster;
        int skipped = 0; // rows that the rules refuse, kept aside
        Refusal refusal; // of a change
        Fault fault = Fault::None;
    };
    virtual Talents talents() = 0;
    // One change, made to the talents as the database holds them now, in
    // one transaction; nothing changes where it is refused.
    virtual Talents changeTalents(const std::function<Refusal(Roster&)>& change) = 0;

    // Changes whenever another connection commits.
    virtual std::optional<std::int64_t> dataVersion() = 0;

    // A fault's cause, for messages: SQLite's own words.
    virtual const QString& lastError() const = 0;
};

} // namespace velmora
