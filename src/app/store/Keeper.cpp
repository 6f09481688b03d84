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

QString faultMessage(Store::Fault fault, const QString& path)
{
    switch (fault) {
    case Store::Fault::None:
        return {};
    case Store::Fault::Busy:
        return tr("Ein anderes Programm hält die Datenbank %1 gesperrt. Die Würfe bleiben im Speicher und werden "
                  "gespeichert, sobald sie frei ist.")
            .arg(path);
    case Store::Fault::Full:
        return tr("Der Datenträger ist voll: Velmora kann %1 nicht schreiben. Die Würfe bleiben im Speicher und "
                  "werden gespeichert, sobald wieder Platz ist.")
            .arg(path);
    case Store::Fault::NoPermission:
        return tr("Velmora darf %1 nicht schreiben: keine Berechtigung. Würfe und Talente bleiben im Speicher, bis "
                  "Velmora dort schreiben darf.")
            .arg(path);
    case Store::Fault::Damaged:
        return tr("Die Datenbank %1 ist beschädigt und konnte nicht beiseitegelegt werden. Sie bleibt unverändert; "
                  "Würfe und Talente dieser Sitzung bleiben nur im Speicher.")
            .arg(path);
    case Store::Fault::Newer:
        return tr("Die Datenbank %1 hat eine neuere Version von Velmora angelegt. Sie bleibt unverändert; Würfe und "
                  "Talente dieser Sitzung bleiben nur im Speicher.")
            .arg(path);
    case Store::Fault::CannotOpen: {
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
    case Store::Fault::Other:
        break;
    }
    return tr("Die Datenbank %1 konnte nicht gelesen oder geschrieben werden. Die Würfe bleiben im Speicher und "
              "werden später gespeichert.")
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

// Waiting operations are bounded as the log is: beyond its capacity the
// oldest roll goes, which the log would let go at once anyway. Changes of
// the talents and clearings are never dropped.
void queue(std::deque<Keeper::Op>& ops, Keeper::Op op)
{
    ops.push_back(std::move(op));
    if (ops.size() > RollLog::kCapacity) {
        const auto oldestRoll =
            std::find_if(ops.begin(), ops.end(), [](const Keeper::Op& o) { return o.kind == Keeper::Op::Kind::Roll; });
        if (oldestRoll != ops.end()) {
            ops.erase(oldestRoll);
        }
    }
}

} // namespace

// The worker's way back to the keeper, which outlives the worker unless the
// keeper gave up waiting for it: then the keeper is gone, and nothing is sent.
struct KeeperLink {
    QMutex mutex;
    Keeper* keeper = nullptr;
};

// The database's side: lives on its own thread, and may wait on the disk.
class KeeperWorker : public QObject {
public:
    KeeperWorker(std::shared_ptr<KeeperLink> link, Store::Paths paths, QStringList pragmas)
        : m_link(std::move(link))
        , m_paths(std::move(paths))
        , m_pragmas(std::move(pragmas))
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
            std::erase_if(m_ops,
                [&](const Keeper::Op& o) { return o.kind == Keeper::Op::Kind::Roll && ids.count(o.roll.id) > 0; });
        }
        queue(m_ops, std::move(op));
        const std::uint64_t taken = m_taken;
        post([taken](Keeper& k) { k.taken(taken); });
        // After a failure, the timer tries again: a burst of rolls on a
        // busy database must not wait out the busy timeout one by one.
        if (!m_retry->isActive()) {
            drain();
        }
    }

    void look()
    {
        if (!isOpen()) {
            drain();
            return;
        }
        const auto version = m_database->dataVersion();
        if (version && version != m_version) {
            m_version = version;
            sendSnapshot(); // which forgets the version where it fails, so that the next look tries again
        }
    }

    // At the end: what is left, tried until written or the time is up.
    void finish()
    {
        m_look->stop();
        m_retry->stop();
        QElapsedTimer since;
        since.start();
        while (!m_ops.empty() && !m_memoryOnly && since.elapsed() < kFinishWithin) {
            bool opening = false;
            const Store::Fault fault = drainOnce(opening);
            if (fault == Store::Fault::Busy) {
                QThread::msleep(50); // nothing else is left to do on this thread
            } else if (fault != Store::Fault::None) {
                break;
            }
        }
        if (!m_ops.empty() && !m_memoryOnly) {
            const auto count = [&](Keeper::Op::Kind kind) {
                return static_cast<long>(
                    std::count_if(m_ops.begin(), m_ops.end(), [kind](const Keeper::Op& o) { return o.kind == kind; }));
            };
            std::fprintf(stderr,
                "velmora: %ld rolls, %ld clearings and %ld changes of the talents could not be written to %s: %s\n",
                count(Keeper::Op::Kind::Roll), count(Keeper::Op::Kind::Clear), count(Keeper::Op::Kind::Talents),
                qPrintable(m_paths.database), qPrintable(m_database ? m_database->lastError() : QString()));
        }
        if (m_database) {
            m_database->close();
        }
    }

private:
    bool isOpen() const { return m_database && m_database->isOpen(); }

    // Runs `f` on the keeper's thread, with the keeper.
    template <typename F>
    void post(F f)
    {
        const QMutexLocker lock(&m_link->mutex);
        if (Keeper* keeper = m_link->keeper) {
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

    void tell(Store::Fault fault)
    {
        tell(QStringLiteral("fault-%1").arg(static_cast<int>(fault)), faultMessage(fault, m_paths.database));
    }

    bool open()
    {
        if (isOpen()) {
            return true;
        }
        if (m_memoryOnly) {
            return false;
        }
        if (!m_database) {
            Store::Made made = Store::make(m_paths, m_pragmas);
            if (!made.store) {
                // Nothing to retry: the program's files are as they are.
                m_memoryOnly = true;
                m_openFault = Store::Fault::CannotOpen;
                tell(QStringLiteral("module"), made.problem);
                post([](Keeper& k) { k.m_loaded = true; });
                if (!std::exchange(m_layoutSent, true)) {
                    post([](Keeper& k) { emit k.layoutRead({}, {}); });
                }
                return false;
            }
            m_database = std::move(made.store);
        }
        const Store::Opened opened = m_database->open();
        for (const QString& note : opened.notes) {
            tell(note, note);
        }
        m_openFault = opened.fault;
        if (opened.fault != Store::Fault::None) {
            m_memoryOnly = opened.fault == Store::Fault::Newer || opened.fault == Store::Fault::Damaged;
            failed(opened.fault);
            post([](Keeper& k) { k.m_loaded = true; }); // with nothing to show
            // Not later, when it can be read: the window would jump.
            if (!std::exchange(m_layoutSent, true)) {
                post([](Keeper& k) { emit k.layoutRead({}, {}); });
            }
            return false;
        }
        m_version = m_database->dataVersion();
        sendSnapshot();
        if (!std::exchange(m_layoutSent, true)) {
            const Store::Layout layout = m_database->layout();
            post([layout](Keeper& k) {
                emit k.settingsRead(layout.settings);
                emit k.layoutRead(layout.geometry, layout.state);
            });
        }
        // Every page read only now: the rolls are shown before a large
        // file has been read through.
        const Store::Opened checked = m_database->check();
        for (const QString& note : checked.notes) {
            tell(note, note);
        }
        if (!m_database->isOpen()) {
            m_openFault = checked.fault;
            // Damaged still: it could not be kept aside. Else the new one
            // could not be opened yet, and is tried again.
            m_memoryOnly = checked.fault == Store::Fault::Damaged;
            failed(checked.fault);
            return false;
        }
        if (!checked.notes.isEmpty()) {
            m_version = m_database->dataVersion();
            sendSnapshot(); // the new one's
        }
        return true;
    }

    void failed(Store::Fault fault)
    {
        if (fault == Store::Fault::Damaged && !m_memoryOnly) {
            // Found in a read or a write: the next opening keeps it aside.
            tell(Store::Fault::Other);
        } else if (fault == Store::Fault::Busy) {
            if (!m_busy.isValid()) {
                m_busy.start();
            } else if (m_busy.elapsed() >= kBusyTold) {
                tell(fault);
            }
        } else {
            tell(fault);
        }
        if (!m_memoryOnly) {
            m_retry->start(fault == Store::Fault::Busy ? kRetryBusy : kRetryFault);
        }
    }

    // The first operation waiting, written; what kept it from being.
    // `opening` tells whether that was the opening, which has said so.
    Store::Fault drainOnce(bool& opening)
    {
        opening = !open();
        if (opening) {
            return m_openFault;
        }
        Keeper::Op& op = m_ops.front();
        Store::Fault fault = Store::Fault::None;
        switch (op.kind) {
        case Keeper::Op::Kind::Roll:
            fault = m_database->addRoll(op.roll);
            break;
        case Keeper::Op::Kind::Clear:
            fault = m_database->removeRolls(op.ids);
            // Snapshots read before it was taken were dropped; no other
            // program's commit may come to send a new one.
            m_cleared = fault == Store::Fault::None;
            break;
        case Keeper::Op::Kind::Layout:
            fault = m_database->keepLayout(op.geometry, op.state);
            break;
        case Keeper::Op::Kind::Setting:
            fault = m_database->keepSetting(op.name, op.value);
            break;
        case Keeper::Op::Kind::Talents: {
            Store::Talents changed = m_database->changeTalents(op.change);
            fault = changed.fault;
            if (fault == Store::Fault::None) {
                if (changed.refusal) {
                    const QString refusal = QString::fromStdString(*changed.refusal);
                    post([refusal](Keeper& k) { emit k.problem(refusal); });
                }
                m_changedTalents = std::make_unique<Roster>(std::move(changed.roster));
            }
            break;
        }
        }
        if (fault == Store::Fault::Damaged) {
            m_database->close(); // opened anew, and kept aside, next time
        }
        if (fault == Store::Fault::None) {
            m_ops.pop_front();
            m_busy.invalidate();
        }
        return fault;
    }

    void drain()
    {
        while (!m_ops.empty()) {
            bool opening = false;
            const Store::Fault fault = drainOnce(opening);
            if (fault != Store::Fault::None) {
                if (!opening) {
                    failed(fault); // a failed opening has said so already
                }
                break;
            }
        }
        if (m_ops.empty() && !isOpen()) {
            open();
        }
        if (std::exchange(m_cleared, false) && isOpen()) {
            sendSnapshot();
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
            case Keeper::Op::Kind::Layout:
            case Keeper::Op::Kind::Setting:
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
        Store::Rolls rolls = m_database->latestRolls();
        Store::Talents talents = m_database->talents();
        if (rolls.fault != Store::Fault::None || talents.fault != Store::Fault::None) {
            const Store::Fault fault = rolls.fault != Store::Fault::None ? rolls.fault : talents.fault;
            m_version.reset(); // read again at the next look
            if (fault == Store::Fault::Damaged) {
                m_database->close(); // kept aside at the next opening
            }
            failed(fault);
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

    std::shared_ptr<KeeperLink> m_link;
    Store::Paths m_paths;
    QStringList m_pragmas;
    // Made by the first opening, on this thread: loading its module reads the disk.
    std::unique_ptr<Store> m_database;
    Store::Fault m_openFault = Store::Fault::None;
    QTimer* m_retry;
    QTimer* m_look;
    std::deque<Keeper::Op> m_ops;
    std::uint64_t m_taken = 0;
    std::optional<std::int64_t> m_version;
    bool m_memoryOnly = false;
    bool m_cleared = false;
    bool m_layoutSent = false;
    QElapsedTimer m_busy;
    std::unique_ptr<Roster> m_changedTalents;
};

Keeper::Keeper(Store::Paths paths, QStringList pragmas, QObject* parent)
    : QObject(parent)
    , m_paths(std::move(paths))
    , m_pragmas(std::move(pragmas))
{
}

Keeper::~Keeper() { finish(); }

void Keeper::finish()
{
    if (m_thread == nullptr) {
        return;
    }
    KeeperWorker* worker = m_worker;
    QThread* thread = m_thread;
    m_worker = nullptr;
    m_thread = nullptr;
    QMetaObject::invokeMethod(
        worker,
        [worker, thread] {
            worker->finish();
            delete worker;
            thread->quit();
        },
        Qt::QueuedConnection);
    // Counted naps rather than a timed wait on a condition: a clock made to
    // stand still (faketime) ends such a wait at once, and the thread would
    // be left running into the program's end.
    constexpr int kNap = 10; // ms
    for (int naps = 0; naps < (kFinishWithin + 1000) / kNap && !thread->isFinished(); ++naps) {
        QThread::msleep(kNap);
    }
    if (thread->isFinished()) {
        thread->wait();
        delete thread;
    } else {
        const QMutexLocker lock(&m_link->mutex);
        m_link->keeper = nullptr;
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
    m_link = std::make_shared<KeeperLink>();
    m_link->keeper = this;
    m_worker = new KeeperWorker(m_link, m_paths, m_pragmas);
    m_worker->moveToThread(m_thread);
    m_thread->start();
    KeeperWorker* worker = m_worker;
    QMetaObject::invokeMethod(
        worker, [worker] { worker->start(); }, Qt::QueuedConnection);
    for (Op& op : std::exchange(m_unsent, {})) {
        send(std::move(op));
    }
}

void Keeper::send(Op op)
{
    if (m_thread == nullptr) {
        queue(m_unsent, std::move(op));
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
    m_inFlight.emplace_back(op.number, op.roll.id);
    if (m_inFlight.size() > RollLog::kCapacity) {
        m_inFlight.pop_front();
    }
    send(std::move(op));
    return m_log.latest();
}

void Keeper::keepLayout(const QByteArray& geometry, const QByteArray& state)
{
    Op op;
    op.kind = Op::Kind::Layout;
    op.number = ++m_sent;
    op.geometry = geometry;
    op.state = state;
    send(std::move(op));
}

void Keeper::keepSetting(const QString& name, const QByteArray& value)
{
    Op op;
    op.kind = Op::Kind::Setting;
    op.number = ++m_sent;
    op.name = name;
    op.value = value;
    send(std::move(op));
}

void Keeper::clearLog(const std::vector<std::uint64_t>& ids)
{
    const std::unordered_set<std::uint64_t> gone(ids.begin(), ids.end());
    const std::vector<RollLog::Entry> before = m_log.entries();
    m_log.clear();
    for (const RollLog::Entry& entry : before) {
        if (gone.count(entry.id) == 0) {
            m_log.add(entry.roll, entry.time, entry.id, entry.when);
        }
    }
    std::erase_if(m_inFlight, [&](const auto& flying) { return gone.count(flying.second) > 0; });
    Op op;
    op.kind = Op::Kind::Clear;
    op.number = ++m_sent;
    op.ids = ids;
    m_lastClear = op.number;
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
        QMetaObject::invokeMethod(
            worker, [worker] { worker->look(); }, Qt::QueuedConnection);
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
    // Rolls sent after the snapshot was read, as the log shows them now.
    std::unordered_set<std::uint64_t> flying;
    for (const auto& [number, id] : m_inFlight) {
        if (number > upTo) {
            flying.insert(id);
        }
    }
    for (std::size_t i = 0; i < m_log.size() && !flying.empty(); ++i) {
        if (flying.count(m_log[i].id) > 0) {
            rolls.push_back(m_log[i]);
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

void Keeper::talentsRead(std::uint64_t upTo, Roster roster)
{
    // The character chosen here stays chosen here, whatever another Velmora
    // chose: a game master plays one character in each.
    if (const Character* mine = m_roster.currentCharacter()) {
        if (const auto same = roster.characterIndex(mine->name)) {
            roster.setCurrent(*same);
        }
    }
    // Read before the latest change here was taken, it would undo it.
    if (upTo >= m_lastTalentChange && roster != m_roster) {
        m_roster = std::move(roster);
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
