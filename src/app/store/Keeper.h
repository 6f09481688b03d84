#pragma once

#include "app/store/Store.h"
#include "steps/RollLog.h"
#include "talents/Roster.h"

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

class QThread;

namespace velmora {

class KeeperWorker;
struct KeeperLink;

// What this program keeps across runs, as the window's thread sees it: the
// roll log and the talents, shown at once and written to the database on a
// thread of their own, so that no disk, lock or busy database ever holds a
// window. Another Velmora's rolls and changes come in as it makes them.
// What cannot be written yet stays in memory and is written when it can;
// each cause of trouble is said once.
class Keeper : public QObject {
    Q_OBJECT

public:
    // `pragmas` as for the store.
    explicit Keeper(Store::Paths paths = Store::userPaths(), QStringList pragmas = {}, QObject* parent = nullptr);
    // As finish().
    ~Keeper() override;

    // Writes what is not yet written, waiting a few seconds at most, and
    // ends the database's thread.
    void finish();

    // Opens the database: once, after the first frame.
    void start();
    // The database has been read, or found unreadable, since start().
    bool loaded() const { return m_loaded; }

    const RollLog& log() const { return m_log; }
    // Into the log now, into the database at once.
    const RollLog::Entry& keep(const RollRecord& roll);
    // Deletes these rolls from the log, here and in the database, for every
    // Velmora: those that the player was asked about.
    void clearLog(const std::vector<std::uint64_t>& ids);

    const Roster& roster() const { return m_roster; }
    // Made here at once and in the database as it is then, another
    // program's changes included; the refusal where it cannot be made here.
    Refusal changeTalents(const std::function<Refusal(Roster&)>& change);

    // The window's layout, kept for the next start.
    void keepLayout(const QByteArray& geometry, const QByteArray& state);
    // One of the player's settings, kept for the next start.
    void keepSetting(const QString& name, const QByteArray& value);

    // Asks the database whether another program changed it: cheap, and
    // done every second anyway.
    void lookForChanges();

    // One change for the database, numbered as sent.
    struct Op {
        enum class Kind { Roll, Clear, Talents, Layout, Setting };
        Kind kind = Kind::Roll;
        std::uint64_t number = 0;
        RollLog::Entry roll;
        std::vector<std::uint64_t> ids; // the rolls a clearing deletes
        std::function<Refusal(Roster&)> change;
        QByteArray geometry; // of a layout
        QByteArray state;
        QString name; // of a setting
        QByteArray value;
    };

signals:
    // The log changed otherwise than by keep(): another program's rolls, a
    // clearing, the kept rolls read.
    void logReplaced();
    void rosterReplaced();
    // Once, as the database was opened: the layout that the last run kept,
    // empty where there was none or the database could not be read.
    void layoutRead(const QByteArray& geometry, const QByteArray& state);
    // Just before it: the settings that the last run kept.
    void settingsRead(const QHash<QString, QByteArray>& settings);
    // One plain German sentence or two, once per cause per session.
    void problem(const QString& message);

private:
    friend class KeeperWorker;
    void send(Op op);
    // From the worker thread, on this one.
    void taken(std::uint64_t upTo);
    void rollsRead(std::uint64_t upTo, std::vector<RollLog::Entry> rolls);
    void talentsRead(std::uint64_t upTo, Roster roster);
    void tell(const QString& cause, const QString& message);

    Store::Paths m_paths;
    QStringList m_pragmas;
    QThread* m_thread = nullptr;
    KeeperWorker* m_worker = nullptr;
    std::shared_ptr<KeeperLink> m_link;
    bool m_loaded = false;

    RollLog m_log;
    Roster m_roster;
    // Operations are numbered as sent; what the worker reports carries the
    // number of the last it had taken, so that older news never undoes
    // newer changes made here.
    std::uint64_t m_sent = 0;
    std::uint64_t m_lastClear = 0;
    std::uint64_t m_lastTalentChange = 0;
    // Rolls sent but not yet reported taken, by number and id: shown, as
    // the log holds them, after a snapshot that predates them.
    std::deque<std::pair<std::uint64_t, std::uint64_t>> m_inFlight; // number, id
    // Before start(): what the worker will take first.
    std::deque<Op> m_unsent;
    QSet<QString> m_said;
};

} // namespace velmora
