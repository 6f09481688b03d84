#pragma once

#include "app/store/Store.h"
#include "odds/Evening.h"
#include "steps/RollLog.h"
#include "talents/Roster.h"

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <unordered_set>
#include <vector>

class QThread;

namespace velmora {

class KeeperWorker;

// Every roll kept, looked back on: the evenings, newest first, and the
// rolls that a filter chose, newest first, with their record.
struct LookedBack {
    RollFilter filter;
    std::vector<PastEvening> evenings;
    std::vector<RollLog::Entry> chosen; // at most LookBack::kShown
    std::vector<std::uint64_t> chosenIds; // all
    EveningGroup record;
    std::vector<std::pair<std::string, std::string>> talents; // character, talent
    static LookedBack of(const LookBack& look);
};

// What this program keeps across runs, as the window's thread sees it: every
// roll and the talents, shown at once and written to the database on a
// thread of their own, so that no disk, lock or busy database ever holds a
// window. The latest rolls are in memory, older ones read as a view asks
// for them. Another Velmora's rolls and changes come in as it makes them.
// What cannot be written yet is written when it can, and kept beside the
// database meanwhile; each cause of trouble is said once.
class Keeper : public QObject {
    Q_OBJECT

public:
    explicit Keeper(Store::Paths paths = Store::userPaths(), QStringList pragmas = {}, QObject* parent = nullptr);
    // As finish().
    ~Keeper() override;

    // Writes what is not yet written, waiting a few seconds at most, and
    // ends the database's thread; what is left is kept beside the database.
    void finish();

    // Opens the database: once, after the first frame.
    void start();
    // The database has been read, or found unreadable, since start().
    bool loaded() const { return m_loaded; }

    // The latest rolls, oldest first.
    const RollLog& log() const { return m_log; }
    // Every roll read so far, newest first: row 0 is the newest.
    std::size_t rows() const { return m_log.size() + m_older.size(); }
    const RollLog::Entry* entryAt(std::size_t row) const;
    // Older rolls in the database than those read; read them, a page more.
    bool hasOlder() const { return m_more; }
    void readOlder();
    // Every roll kept, read or not.
    std::int64_t total() const { return m_total; }

    // Into the log now, into the database at once.
    const RollLog::Entry& keep(const RollRecord& roll);
    // The chosen rolls, or every roll kept that the filter chooses where
    // none is chosen, as a table for a spreadsheet into the file at `path`;
    // exported() tells.
    void exportCsv(const QString& path, std::vector<RollLog::Entry> chosen = {}, const RollFilter& filter = {});
    // Deletes these rolls, here and in the database, for every Velmora.
    void clearLog(const std::vector<std::uint64_t>& ids);
    // What a clearing of all would delete: the total() rolls, each one
    // counted, none rolled since elsewhere. Taken before a question, so
    // that what its answer deletes is what it counted.
    struct Counted {
        std::vector<std::uint64_t> ids;
        std::int64_t upTo = 0;
        std::int64_t total = 0;
    };
    Counted counted() const;
    void clearAll(const Counted& counted);
    void clearAll() { clearAll(counted()); }
    // Each clearing can be undone, the latest first, until the program
    // ends: its rolls come back here and for every Velmora. False where
    // there is none left.
    bool undoClearing();
    // How many rolls the clearing that would be undone took; 0 for none.
    std::int64_t undoable() const { return m_marks.empty() ? 0 : m_marks.back().rolls; }

    const Roster& roster() const { return m_roster; }
    // Made here at once and in the database as it is then, another
    // program's changes included; the refusal where it cannot be made here.
    Refusal changeTalents(const std::function<Refusal(Roster&)>& change);

    // The window's layout, and one of the player's settings, kept for the next start.
    void keepLayout(const QByteArray& geometry, const QByteArray& state);
    void keepSetting(const QString& name, const QByteArray& value);

    // Every roll kept, looked back on through the filter on the database's
    // thread; lookedBack() tells. A newer look replaces one on its way.
    void lookBack(const RollFilter& filter);

    // Asks the database whether another program changed it: cheap, and
    // done every second anyway.
    void lookForChanges();

signals:
    // The rolls changed otherwise than by keep(): another program's rolls,
    // a clearing, the kept rolls read.
    void logReplaced();
    // Older rolls read, beneath those there were.
    void olderRead(int count);
    void rosterReplaced();
    // Once, as the database was opened: the layout that the last run kept,
    // empty where there was none.
    void layoutRead(const QByteArray& geometry, const QByteArray& state);
    // Just before it: the settings that the last run kept.
    void settingsRead(const QHash<QString, QByteArray>& settings);
    // One plain German sentence or two, once per cause per session.
    void problem(const QString& message);
    // How many rolls went into the file; an error where it could not be written.
    void exported(const QString& path, std::int64_t rolls, const QString& error);
    // A clearing made or undone: what undoable() now says.
    void undoableChanged(std::int64_t rolls);
    // Trouble said is over: everything is written.
    void solved(const QString& message);
    void lookedBack(const velmora::LookedBack& result);

private:
    void send(std::function<void(KeeperWorker&)> job);
    void lookedBackFromDatabase(const LookedBack& result, int generation, bool whole);
    void rollsRead(const Store::Page& page);
    void pageRead(const Store::Page& page);
    void written(const std::vector<std::uint64_t>& ids, int clearings);
    void talentsRead(const Roster& roster, int changes);
    void tell(const QString& cause, const QString& message);
    void removeShown(const std::unordered_set<std::uint64_t>& ids);
    // A new clearing's mark, kept with the count it took and the rolls it
    // took from those shown.
    std::int64_t cleared(std::int64_t rolls, std::vector<RollLog::Entry> shown);
    // These rolls shown, newest first, in the latest and the older ones.
    void show(std::vector<RollLog::Entry> all);

    std::shared_ptr<std::atomic<int>> m_lookGeneration = std::make_shared<std::atomic<int>>(0);
    bool m_looking = false;
    bool m_lookAgain = false;
    RollFilter m_lookingFor;
    Store::Paths m_paths;
    QStringList m_pragmas;
    QThread* m_thread = nullptr;
    KeeperWorker* m_worker = nullptr;
    bool m_loaded = false;

    RollLog m_log;
    std::deque<RollLog::Entry> m_older; // newest first, each older than the log's
    bool m_more = false;
    bool m_reading = false;
    std::int64_t m_total = 0;
    // The newest roll's place in the database as last read: a clearing of
    // all deletes up to it, and this program's rolls since by id.
    std::int64_t m_upTo = 0;
    Roster m_roster;
    // This program's rolls not yet written and its clearings on their way,
    // by id and up to a place: what the database holds is shown with the
    // first and without the second.
    std::unordered_set<std::uint64_t> m_unwritten;
    struct Clearing {
        std::unordered_set<std::uint64_t> ids;
        std::int64_t upTo = 0;
        std::int64_t mark = 0;
        bool hides(std::uint64_t id, std::int64_t place) const { return ids.count(id) > 0 || place <= upTo; }
    };
    std::deque<Clearing> m_clearings;
    // A read of the talents while a change of them is on its way would undo it.
    int m_talentChanges = 0;
    // This program's clearings that can still be undone.
    struct Mark {
        std::int64_t mark = 0;
        std::int64_t rolls = 0;
        std::vector<RollLog::Entry> shown; // back at once where undone
    };
    std::vector<Mark> m_marks;
    // Before start(): what the worker will take first.
    std::vector<std::function<void(KeeperWorker&)>> m_unsent;
    QSet<QString> m_said;
    // Trouble with writing, said and not yet over: by cause.
    QHash<QString, QString> m_unsolved;
};

} // namespace velmora
