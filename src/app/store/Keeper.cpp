#include "app/store/Keeper.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QMutex>
#include <QRandomGenerator>
#include <QThread>
#include <QTime>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <unordered_set>
#include <utility>

namespace velmora {
namespace {

QString tr(const char* text) { return QCoreApplication::translate("velmora::Keeper", text); }

constexpr int kRetryBusy = 200; // ms
constexpr int kRetryFault = 5000; // ms
constexpr int kLookEvery = 1000; // ms
// A lock held this long is worth saying; a shorter one is a moment's wait.
constexpr int kBusyTold = 5000; // ms
constexpr int kFinishWithin = 3000; // ms

QString faultMessage(Database::Fault fault, const QString& path)
{
    switch (fault) {
    case Database::Fault::None:
        return {};
    case Database::Fault::Busy:
        return tr("Ein anderes Programm hält die Datenbank %1 gesperrt. Die Würfe bleiben im Speicher und werden "
                  "gespeichert, sobald sie frei ist.")
            .arg(path);
    case Database::Fault::Full:
        return tr("Der Datenträger ist voll: Velmora kann %1 nicht schreiben. Die Würfe bleiben im Speicher und "
                  "werden gespeichert, sobald wieder Platz ist.")
            .arg(path);
    case Database::Fault::NoPermission:
        return tr("Velmora darf %1 nicht schreiben: keine Berechtigung. Würfe und Talente bleiben im Speicher, bis "
                  "Velmora dort schreiben darf.")
            .arg(path);
    case Database::Fault::Damaged:
        return tr("Die Datenbank %1 ist beschädigt und konnte nicht beiseitegelegt werden. Sie bleibt unverändert; "
                  "Würfe und Talente dieser Sitzung bleiben nur im Speicher.")
            .arg(path);
    case Database::Fault::Newer:
        return tr("Die Datenbank %1 hat eine neuere Version von Velmora angelegt. Sie bleibt unverändert; Würfe und "
                  "Talente dieser Sitzung bleiben nur im Speicher.")
            .arg(path);
    case Database::Fault::CannotOpen: {
        const QFileInfo file(path);
        if (file.isSymLink() && !file.exists()) {
            return tr("Die Datenbank %1 ist ein Verweis auf %2, das es nicht gibt. Die Würfe bleiben im Speicher.")
                .arg(path, file.symLinkTarget());
        }
        if (file.isDir()) {
            return tr("An der Stelle der Datenbank %1 steht ein Ordner. Die Würfe bleiben im Speicher.").arg(path);
        }
        return tr("Die Datenbank %1 lässt sich nicht öffnen. Die Würfe bleiben im Speicher und werden gespeichert, "
                  "sobald sie sich öffnen lässt.")
            .arg(path);
    }
    case Database::Fault::Other:
        break;
    }
    return tr("Die Datenbank %1 konnte nicht geschrieben werden. Die Würfe bleiben im Speicher und werden später "
              "gespeichert.")
        .arg(path);
}

// German has a singular: "1 Würfe" is no German.
QString skippedRows(int rolls, int talents)
{
    QStringList parts;
    if (rolls > 0) {
        parts << (rolls == 1 ? tr("Ein Wurf") : tr("%1 Würfe").arg(rolls));
    }
    if (talents > 0) {
        parts << (talents == 1 ? tr("ein Eintrag der Talente") : tr("%1 Einträge der Talente").arg(talents));
    }
    if (parts.isEmpty()) {
        return {};
    }
    QString subject = parts.join(tr(" und "));
    subject[0] = subject[0].toUpper();
    const bool one = rolls + talents == 1;
    return (one ? tr("%1 in der Datenbank ist unlesbar und wird übergangen.")
                : tr("%1 in der Datenbank sind unlesbar und werden übergangen."))
        .arg(subject);
}

} // namespace

// The database's side: lives on its own thread, and may wait on the disk.
class KeeperWorker : public QObject {
public:
    KeeperWorker(Keeper* keeper, Database::Paths paths, QStringList pragmas)
        : m_keeper(keeper)
        , m_database(std::move(paths), std::move(pragmas))
        , m_retry(new QTimer(this))
        , m_look(new QTimer(this))
    {
        m_retry->setSingleShot(true);
        connect(m_retry, &QTimer::timeout, this, [this] { drain(); });
        m_look->setInterval(kLookEvery);
        connect(m_look, &QTimer::timeout, this, [this] { look(); });
    }

    void start()
    {
        m_look->start();
        drain();
    }

    void take(Keeper::Op op)
    {
        m_taken = op.number;
        if (op.kind == Keeper::Op::Kind::Clear) {
            // Rolls not yet written are deleted by not writing them.
            const std::unordered_set<std::uint64_t> ids(op.ids.begin(), op.ids.end());
            std::erase_if(m_ops, [&](const Keeper::Op& o) {
                return o.kind == Keeper::Op::Kind::Roll && ids.count(o.roll.id) > 0;
            });
        }
        m_ops.push_back(std::move(op));
        // No more rolls waiting than the log keeps: older ones would go at once.
        const auto rolls = std::count_if(
            m_ops.begin(), m_ops.end(), [](const Keeper::Op& o) { return o.kind == Keeper::Op::Kind::Roll; });
        if (rolls > static_cast<std::ptrdiff_t>(RollLog::kCapacity)) {
            m_ops.erase(std::find_if(
                m_ops.begin(), m_ops.end(), [](const Keeper::Op& o) { return o.kind == Keeper::Op::Kind::Roll; }));
        }
        const std::uint64_t taken = m_taken;
        post([taken](Keeper& k) { k.taken(taken); });
        drain();
    }

    void look()
    {
        if (!m_database.isOpen()) {
            drain();
            return;
        }
        const auto version = m_database.dataVersion();
        if (version && version != m_version) {
            m_version = version;
            sendSnapshot();
        }
    }

    // The keeper is going without waiting for this thread: nothing more to it.
    void detach()
    {
        const QMutexLocker lock(&m_keeperLock);
        m_keeper = nullptr;
    }

    // At the end: what is left, tried until written or the time is up.
    void finish()
    {
        m_look->stop();
        m_retry->stop();
        QElapsedTimer since;
        since.start();
        while (!m_ops.empty() && !m_memoryOnly && since.elapsed() < kFinishWithin) {
            const Database::Fault fault = drainOnce();
            if (fault == Database::Fault::Busy) {
                QThread::msleep(50); // nothing else is left to do on this thread
            } else if (fault != Database::Fault::None) {
                break;
            }
        }
        const auto lost = std::count_if(
            m_ops.begin(), m_ops.end(), [](const Keeper::Op& o) { return o.kind == Keeper::Op::Kind::Roll; });
        if (lost > 0 && !m_memoryOnly) {
            std::fprintf(stderr, "velmora: %ld rolls could not be written to %s: %s\n", static_cast<long>(lost),
                qPrintable(m_database.paths().database), qPrintable(m_database.lastError()));
        }
        m_database.close();
    }

private:
    // Runs `f` on the keeper's thread, with the keeper.
    template <typename F>
    void post(F f)
    {
        const QMutexLocker lock(&m_keeperLock);
        if (Keeper* keeper = m_keeper) {
            QMetaObject::invokeMethod(
                keeper, [keeper, f = std::move(f)]() mutable { f(*keeper); }, Qt::QueuedConnection);
        }
    }

    void tell(const QString& cause, const QString& message)
    {
        if (!message.isEmpty()) {
            post([cause, message](Keeper& k) { k.tell(cause, message); });
        }
    }

    void tell(Database::Fault fault)
    {
        tell(QStringLiteral("fault-%1").arg(static_cast<int>(fault)),
            faultMessage(fault, m_database.paths().database));
    }

    bool open()
    {
        if (m_database.isOpen()) {
            return true;
        }
        if (m_memoryOnly) {
            return false;
        }
        const Database::Opened opened = m_database.open();
        for (const QString& note : opened.notes) {
            tell(note, note);
        }
        m_openFault = opened.fault;
        if (opened.fault != Database::Fault::None) {
            m_memoryOnly = opened.fault == Database::Fault::Newer || opened.fault == Database::Fault::Damaged;
            failed(opened.fault);
            post([](Keeper& k) { k.m_loaded = true; }); // with nothing to show
            return false;
        }
        m_version = m_database.dataVersion();
        sendSnapshot();
        // Every page read only now: the rolls are shown before a large
        // file has been read through.
        const Database::Opened checked = m_database.check();
        for (const QString& note : checked.notes) {
            tell(note, note);
        }
        if (!m_database.isOpen()) {
            m_openFault = checked.fault;
            m_memoryOnly = true; // damaged, and it could not be kept aside
            failed(checked.fault);
            return false;
        }
        if (!checked.notes.isEmpty()) {
            m_version = m_database.dataVersion();
            sendSnapshot(); // the new one's
        }
        return true;
    }

    void failed(Database::Fault fault)
    {
        if (fault == Database::Fault::Damaged && !m_memoryOnly) {
            // Found in a write: the next opening keeps it aside. Until
            // then, it is one that could not be written.
            tell(Database::Fault::Other);
        } else if (fault == Database::Fault::Busy) {
            if (!m_busy.isValid()) {
                m_busy.start();
            } else if (m_busy.elapsed() >= kBusyTold) {
                tell(fault);
            }
        } else {
            tell(fault);
        }
        if (!m_memoryOnly) {
            m_retry->start(fault == Database::Fault::Busy ? kRetryBusy : kRetryFault);
        }
    }

    // The first operation waiting, written; what kept it from being.
    Database::Fault drainOnce()
    {
        if (!open()) {
            return m_openFault;
        }
        Keeper::Op& op = m_ops.front();
        Database::Fault fault = Database::Fault::None;
        switch (op.kind) {
        case Keeper::Op::Kind::Roll:
            fault = m_database.addRoll(op.roll);
            break;
        case Keeper::Op::Kind::Clear:
            fault = m_database.removeRolls(op.ids);
            break;
        case Keeper::Op::Kind::Talents: {
            Database::Talents changed = m_database.changeTalents(op.change);
            fault = changed.fault;
            if (fault == Database::Fault::None) {
                if (changed.refusal) {
                    const QString refusal = QString::fromStdString(*changed.refusal);
                    post([refusal](Keeper& k) { emit k.problem(refusal); });
                }
                m_changedTalents = std::make_unique<Roster>(std::move(changed.roster));
            }
            break;
        }
        }
        if (fault == Database::Fault::Damaged) {
            m_database.close(); // opened anew, and kept aside, next time
        }
        if (fault == Database::Fault::None) {
            m_ops.pop_front();
            m_busy.invalidate();
        }
        return fault;
    }

    void drain()
    {
        while (!m_ops.empty()) {
            const bool wasOpen = m_database.isOpen();
            const Database::Fault fault = drainOnce();
            if (fault != Database::Fault::None) {
                if (wasOpen) {
                    failed(fault); // a failed opening has said so already
                }
                break;
            }
        }
        if (m_ops.empty() && !m_database.isOpen()) {
            open();
        }
        if (m_changedTalents) {
            // The talents as the database now holds them, this program's
            // changes and any other's.
            sendTalents(std::move(*std::exchange(m_changedTalents, nullptr)));
        }
    }

    // Changes still waiting, made to what the database holds: what this
    // program shows.
    void withWaiting(std::vector<RollLog::Entry>& rolls, Roster& roster) const
    {
        for (const Keeper::Op& op : m_ops) {
            switch (op.kind) {
            case Keeper::Op::Kind::Roll:
                rolls.push_back(op.roll);
                break;
            case Keeper::Op::Kind::Clear: {
                const std::unordered_set<std::uint64_t> ids(op.ids.begin(), op.ids.end());
                std::erase_if(rolls, [&](const RollLog::Entry& e) { return ids.count(e.id) > 0; });
                break;
            }
            case Keeper::Op::Kind::Talents:
                op.change(roster);
                break;
            }
        }
        if (rolls.size() > RollLog::kCapacity) {
            rolls.erase(rolls.begin(), rolls.begin() + static_cast<std::ptrdiff_t>(rolls.size() - RollLog::kCapacity));
        }
    }

    void sendTalents(Roster roster)
    {
        std::vector<RollLog::Entry> none;
        withWaiting(none, roster);
        const std::uint64_t upTo = m_taken;
        post([upTo, roster = std::move(roster)](Keeper& k) { k.talentsRead(upTo, roster); });
    }

    // Everything this program shows of the database, and everything taken
    // so far in it: operations waiting are added as they will be written.
    void sendSnapshot()
    {
        Database::Rolls rolls = m_database.latestRolls();
        Database::Talents talents = m_database.talents();
        if (rolls.fault != Database::Fault::None || talents.fault != Database::Fault::None) {
            failed(rolls.fault != Database::Fault::None ? rolls.fault : talents.fault);
            return;
        }
        tell(QStringLiteral("skipped"), skippedRows(rolls.skipped, talents.skipped));
        withWaiting(rolls.rolls, talents.roster);
        const std::uint64_t upTo = m_taken;
        post([upTo, rolls = std::move(rolls.rolls), roster = std::move(talents.roster)](Keeper& k) mutable {
            k.rollsRead(upTo, std::move(rolls));
            k.talentsRead(upTo, roster);
        });
    }

    QMutex m_keeperLock;
    Keeper* m_keeper;
    Database m_database;
    Database::Fault m_openFault = Database::Fault::None;
    QTimer* m_retry;
    QTimer* m_look;
    std::deque<Keeper::Op> m_ops;
    std::uint64_t m_taken = 0;
    std::optional<std::int64_t> m_version;
    bool m_memoryOnly = false;
    QElapsedTimer m_busy;
    std::unique_ptr<Roster> m_changedTalents;
};

Keeper::Keeper(Database::Paths paths, QStringList pragmas, QObject* parent)
    : QObject(parent)
    , m_paths(std::move(paths))
    , m_pragmas(std::move(pragmas))
{
}

Keeper::~Keeper()
{
    if (m_thread == nullptr) {
        return;
    }
    KeeperWorker* worker = m_worker;
    QThread* thread = m_thread;
    QMetaObject::invokeMethod(
        worker,
        [worker, thread] {
            worker->finish();
            delete worker;
            thread->quit();
        },
        Qt::QueuedConnection);
    if (thread->wait(kFinishWithin + 1000)) {
        delete thread;
    } else {
        worker->detach();
        // Still on the disk: left to the end of the process, which a
        // destroyed running thread would abort.
        std::fprintf(stderr, "velmora: the database did not finish in time\n");
    }
}

void Keeper::start()
{
    if (m_thread != nullptr) {
        return;
    }
    m_thread = new QThread;
    m_thread->setObjectName(QStringLiteral("velmora-database"));
    m_worker = new KeeperWorker(this, m_paths, m_pragmas);
    m_worker->moveToThread(m_thread);
    m_thread->start();
    KeeperWorker* worker = m_worker;
    QMetaObject::invokeMethod(worker, [worker] { worker->start(); }, Qt::QueuedConnection);
    for (Op& op : std::exchange(m_unsent, {})) {
        send(std::move(op));
    }
}

void Keeper::send(Op op)
{
    if (m_thread == nullptr) {
        m_unsent.push_back(std::move(op));
        // As the worker does: no more rolls waiting than the log keeps.
        const auto rolls =
            std::count_if(m_unsent.begin(), m_unsent.end(), [](const Op& o) { return o.kind == Op::Kind::Roll; });
        if (rolls > static_cast<std::ptrdiff_t>(RollLog::kCapacity)) {
            m_unsent.erase(
                std::find_if(m_unsent.begin(), m_unsent.end(), [](const Op& o) { return o.kind == Op::Kind::Roll; }));
        }
        return;
    }
    KeeperWorker* worker = m_worker;
    QMetaObject::invokeMethod(
        worker, [worker, op = std::move(op)]() mutable { worker->take(std::move(op)); }, Qt::QueuedConnection);
}

const RollLog::Entry& Keeper::keep(const RollRecord& roll)
{
    // Not the dice's generator: an id only tells rolls apart.
    std::uint64_t id = 0;
    while (id == 0) {
        id = QRandomGenerator::system()->generate64();
    }
    m_log.add(roll, QTime::currentTime().toString(QStringLiteral("hh:mm:ss")).toStdString(), id,
        QDateTime::currentMSecsSinceEpoch());
    Op op;
    op.kind = Op::Kind::Roll;
    op.number = ++m_sent;
    op.roll = m_log.latest();
    m_inFlight.emplace_back(op.number, op.roll);
    if (m_inFlight.size() > RollLog::kCapacity) {
        m_inFlight.pop_front();
    }
    send(std::move(op));
    return m_log.latest();
}

void Keeper::clearLog()
{
    Op op;
    op.kind = Op::Kind::Clear;
    op.number = ++m_sent;
    for (std::size_t i = 0; i < m_log.size(); ++i) {
        op.ids.push_back(m_log[i].id);
    }
    m_lastClear = op.number;
    m_log.clear();
    m_inFlight.clear();
    send(std::move(op));
}

Refusal Keeper::changeTalents(const std::function<Refusal(Roster&)>& change)
{
    Roster changed = m_roster;
    if (Refusal refusal = change(changed)) {
        return refusal;
    }
    m_roster = std::move(changed);
    Op op;
    op.kind = Op::Kind::Talents;
    op.number = ++m_sent;
    op.change = change;
    m_lastTalentChange = op.number;
    send(std::move(op));
    return std::nullopt;
}

void Keeper::lookForChanges()
{
    if (m_worker != nullptr) {
        KeeperWorker* worker = m_worker;
        QMetaObject::invokeMethod(worker, [worker] { worker->look(); }, Qt::QueuedConnection);
    }
}

void Keeper::taken(std::uint64_t upTo)
{
    while (!m_inFlight.empty() && m_inFlight.front().first <= upTo) {
        m_inFlight.pop_front();
    }
}

void Keeper::rollsRead(std::uint64_t upTo, std::vector<RollLog::Entry> rolls)
{
    if (upTo < m_lastClear) {
        m_loaded = true;
        return; // read before the clearing
    }
    for (const auto& [number, entry] : m_inFlight) {
        if (number > upTo) {
            rolls.push_back(entry);
        }
    }
    if (rolls.size() > RollLog::kCapacity) {
        rolls.erase(rolls.begin(), rolls.begin() + static_cast<std::ptrdiff_t>(rolls.size() - RollLog::kCapacity));
    }
    // Unchanged, the views keep their place: a snapshot comes whenever
    // anything else in the database changed.
    bool same = rolls.size() == m_log.size();
    for (std::size_t i = 0; same && i < rolls.size(); ++i) {
        same = rolls[i].id == m_log[i].id;
    }
    if (same && m_loaded) {
        return;
    }
    m_loaded = true;
    m_log.clear();
    for (const RollLog::Entry& entry : rolls) {
        m_log.add(entry.roll, entry.time, entry.id, entry.when);
    }
    emit logReplaced();
}

void Keeper::talentsRead(std::uint64_t upTo, const Roster& roster)
{
    // Read before the latest change here was taken, it would undo it.
    if (upTo >= m_lastTalentChange && roster != m_roster) {
        m_roster = roster;
        emit rosterReplaced();
    }
}

void Keeper::tell(const QString& cause, const QString& message)
{
    if (!m_said.contains(cause)) {
        m_said.insert(cause);
        emit problem(message);
    }
}

} // namespace velmora
