#include "app/store/Keeper.h"

#include "odds/Luck.h"
#include "odds/Odds.h"
#include "text/RollCsv.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSaveFile>
#include <QSettings>
#include <QThread>
#include <QTime>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <utility>

namespace velmora {
namespace {

QString tr(const char* text) { return QCoreApplication::translate("velmora::Keeper", text); }

constexpr int kPage = 500; // rolls read at a time
constexpr int kLookPage = 20000; // rolls looked back on at a time, some 100 ms
constexpr int kRetry = 1000; // ms
constexpr int kLookEvery = 1000; // ms
constexpr int kFinishWithin = 4000; // ms: two busy timeouts, the last try and the one it waits behind

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
    return (rolls + talents == 1 ? tr("%1 in der Datenbank ist unlesbar und wird übergangen.")
                                 : tr("%1 in der Datenbank sind unlesbar und werden übergangen."))
        .arg(subject);
}

// Where Qt ends the program with exit() (a display gone), the keeper's
// rolls are written first.
std::atomic<Keeper*> g_atExit = nullptr;

} // namespace

// The database's side: lives on its own thread, and may wait on the disk.
class KeeperWorker : public QObject {
    Q_OBJECT

public:
    KeeperWorker(Store::Paths paths, QStringList pragmas)
        : m_paths(std::move(paths))
        , m_pragmas(std::move(pragmas))
        , m_retry(new QTimer(this))
        , m_look(new QTimer(this))
    {
        m_retry->setSingleShot(true);
        connect(m_retry, &QTimer::timeout, this, &KeeperWorker::drain);
        m_look->setInterval(kLookEvery);
        connect(m_look, &QTimer::timeout, this, &KeeperWorker::look);
    }

    void start()
    {
        const QString settingsPath = m_paths.settings.isEmpty()
            ? QFileInfo(m_paths.database).absolutePath() + QStringLiteral("/velmora.conf")
            : m_paths.settings;
        m_settings = new QSettings(settingsPath, QSettings::IniFormat, this);
        QHash<QString, QByteArray> settings;
        m_settings->beginGroup(QStringLiteral("settings"));
        for (const QString& key : m_settings->childKeys()) {
            settings.insert(key, m_settings->value(key).toByteArray());
        }
        m_settings->endGroup();
        emit settingsRead(settings);
        emit layoutRead(m_settings->value(QStringLiteral("layout/geometry")).toByteArray(),
            m_settings->value(QStringLiteral("layout/state")).toByteArray());
        m_look->start();
        open();
    }

    void keepSetting(const QString& key, const QByteArray& value)
    {
        m_settings->setValue(key, value);
        m_settings->sync();
        if (m_settings->status() != QSettings::NoError) {
            tell(QStringLiteral("settings"),
                tr("Velmora kann seine Einstellungen nicht in %1 schreiben.").arg(m_settings->fileName()));
        }
    }

    void take(Store::Changes changes)
    {
        m_clearings += changes.clears() || changes.restored != 0 ? 1 : 0;
        // A run of rolls is one change: written together, in one transaction.
        const auto onlyRolls = [](const Store::Changes& c) {
            return !c.clears() && c.restored == 0 && c.purged.empty();
        };
        if (!m_pending.empty() && onlyRolls(m_pending.back()) && onlyRolls(changes)) {
            for (RollLog::Entry& entry : changes.added) {
                m_pending.back().added.push_back(std::move(entry));
            }
        } else {
            m_pending.push_back(std::move(changes));
        }
        // After a failure, the timer tries again.
        if (!m_retry->isActive()) {
            drain();
        }
    }

    void changeTalents(const std::function<Refusal(Roster&)>& change)
    {
        m_talentChanges.push_back(change);
        if (!m_retry->isActive()) {
            drain();
        }
    }

    void look()
    {
        const bool wasOpen = m_database && m_database->isOpen();
        if (!open()) {
            return;
        }
        if (!wasOpen && m_retry->isActive()) {
            // Open again: what waits is written now, not when the timer says.
            m_retry->stop();
            drain();
        }
        const auto version = m_database->dataVersion();
        if (version != m_version) {
            m_version = version;
            sendAll();
        }
    }

    void readOlder(int count)
    {
        Store::Page page;
        page.fault = Store::Fault::CannotOpen;
        if (open()) {
            page = m_database->rolls(count, true);
            failed(page.fault);
            m_shown += static_cast<int>(page.rolls.size());
        }
        emit olderRead(page);
    }

    void exportCsv(const QString& path, const std::vector<RollLog::Entry>& chosen, const RollFilter& filter)
    {
        QSaveFile file(path);
        std::int64_t count = 0;
        OddsCache odds; // the window's is the window's alone
        const auto write = [&](const RollLog::Entry& entry) {
            if (!filter.matches(entry)) {
                return true;
            }
            std::optional<double> luck;
            if (const RollOdds* rollOdds = oddsOf(odds, entry.roll)) {
                luck = luckOf(*rollOdds, entry.roll);
            }
            // The local time then, with the offset it had.
            const QDateTime when = QDateTime::fromMSecsSinceEpoch(entry.when);
            const QString iso = when.toOffsetFromUtc(when.offsetFromUtc()).toString(Qt::ISODate);
            file.write(QByteArray::fromStdString(rollcsv::row(entry, iso.toStdString(), luck)));
            ++count;
            return true;
        };
        Store::Fault fault = Store::Fault::None;
        if (file.open(QIODevice::WriteOnly)) {
            file.write(QByteArray::fromStdString(rollcsv::header()));
            std::for_each(chosen.begin(), chosen.end(), write);
            if (chosen.empty()) {
                fault = open() ? m_database->eachRoll(write) : Store::Fault::CannotOpen;
            }
        }
        if (fault == Store::Fault::None && file.commit()) {
            emit exported(path, count, {});
        } else {
            file.cancelWriting();
            emit exported(
                path, count, fault != Store::Fault::None ? faultMessage(fault, m_paths.database) : file.errorString());
        }
    }

    // Every roll looked back on, unless a newer look or the end comes first:
    // a page at a time, so that rolls to write wait for a page, not for a
    // million rolls.
    void lookBack(const std::shared_ptr<LookBack>& look, Store::Place place, int generation)
    {
        if (*m_lookGeneration != generation) {
            return;
        }
        if (!open()) {
            emit lookedBack(LookedBack::of(*look), generation, false);
            return;
        }
        place.count = kLookPage;
        const Store::Fault fault = m_database->eachRoll(
            [&](const RollLog::Entry& entry) {
                look->take(entry);
                return *m_lookGeneration == generation;
            },
            &place);
        if (fault == Store::Fault::None && place.more) {
            QMetaObject::invokeMethod(
                this, [this, look, place, generation] { lookBack(look, place, generation); }, Qt::QueuedConnection);
        } else if (*m_lookGeneration == generation) {
            emit lookedBack(LookedBack::of(*look), generation, fault == Store::Fault::None);
        }
    }

    std::shared_ptr<std::atomic<int>> m_lookGeneration;
    OddsCache m_odds; // the window's is the window's alone

    // At the end: what is left written, or kept beside the database.
    void finish()
    {
        m_look->stop();
        m_retry->stop();
        // Beside the database first: the last try may take longer than the
        // program is given.
        keepUnwritten();
        drain();
        if (!m_talentChanges.empty()) {
            std::fprintf(stderr, "velmora: %zu changes of the talents could not be written to %s: %s\n",
                m_talentChanges.size(), qPrintable(m_paths.database),
                qPrintable(m_database ? m_database->lastError() : QString()));
        }
        m_database.reset();
    }

signals:
    void settingsRead(const QHash<QString, QByteArray>& settings);
    void layoutRead(const QByteArray& geometry, const QByteArray& state);
    void rollsRead(const velmora::Store::Page& page);
    void olderRead(const velmora::Store::Page& page);
    void written(const std::vector<std::uint64_t>& ids, int clearings);
    void talentsRead(const velmora::Roster& roster, int changes);
    void problem(const QString& cause, const QString& message);
    void exported(const QString& path, std::int64_t rolls, const QString& error);
    void lookedBack(const velmora::LookedBack& result, int generation, bool whole);

private:
    void tell(const QString& cause, const QString& message)
    {
        if (!message.isEmpty()) {
            emit problem(cause, message);
        }
    }

    // A fault said, and the changes tried again later. Damage found on the
    // way keeps the file aside at the next opening.
    void failed(Store::Fault fault)
    {
        if (fault == Store::Fault::None) {
            return;
        }
        tell(QStringLiteral("fault-%1").arg(static_cast<int>(fault)), faultMessage(fault, m_paths.database));
        if (fault == Store::Fault::Damaged && m_database) {
            m_database->close(); // opened anew, the damaged file kept aside
        }
        if (!m_memoryOnly) {
            m_retry->start(fault == Store::Fault::Busy ? kRetry : 5 * kRetry);
        }
    }

    bool open()
    {
        if (m_database && m_database->isOpen()) {
            return true;
        }
        if (m_memoryOnly) {
            return false;
        }
        if (!m_database) {
            Store::Made made = Store::make(m_paths, m_pragmas);
            if (!made.store) {
                m_memoryOnly = true; // the program's files are as they are
                tell(QStringLiteral("module"), made.problem);
                emit rollsRead({});
                return false;
            }
            m_database = std::move(made.store);
            finishAtExit();
        }
        const Store::Opened opened = m_database->open();
        for (const QString& note : opened.notes) {
            tell(note, note);
        }
        m_memoryOnly = opened.fault == Store::Fault::Newer || opened.fault == Store::Fault::Damaged;
        if (opened.fault != Store::Fault::None) {
            failed(opened.fault);
            emit rollsRead({}); // loaded, with nothing to show
            return false;
        }
        m_version = m_database->dataVersion();
        sendAll();
        finishAtExit();
        if (m_database->isOpen()) {
            emit written({}, 0); // whatever trouble was said is over
        }
        return m_database->isOpen(); // not where reading found it damaged
    }

    // Where Qt ends the program with exit(), this program's rolls are
    // written before Qt SQL's own state is ended: what is registered last
    // runs first, so once more when a reading and writing made all of it.
    void finishAtExit()
    {
        static std::atomic<int> registered = 0;
        if (registered < 2) {
            ++registered;
            std::atexit([] {
                if (Keeper* keeper = g_atExit.exchange(nullptr)) {
                    keeper->finish();
                }
            });
        }
    }

    // Everything this program shows of the database: its newest rolls, as
    // many as are shown, and the talents.
    void sendAll()
    {
        Store::Page page = m_database->rolls(std::max(m_shown, static_cast<int>(RollLog::kCapacity)), false);
        Store::Talents talents = m_database->talents();
        if (page.fault != Store::Fault::None || talents.fault != Store::Fault::None) {
            m_version.reset(); // read again at the next look
            failed(page.fault != Store::Fault::None ? page.fault : talents.fault);
            return;
        }
        tell(QStringLiteral("skipped"), skippedRows(page.skipped, talents.skipped));
        emit rollsRead(page);
        emit talentsRead(talents.roster, 0);
    }

    void drain()
    {
        if (!open()) {
            keepUnwritten();
            return;
        }
        if (!m_pending.empty()) {
            const Store::Fault fault = m_database->write(m_pending);
            if (fault != Store::Fault::None) {
                failed(fault);
                keepUnwritten();
                return;
            }
            std::vector<std::uint64_t> ids;
            for (const Store::Changes& change : m_pending) {
                for (const RollLog::Entry& entry : change.added) {
                    ids.push_back(entry.id);
                }
            }
            const int cleared = std::exchange(m_clearings, 0);
            emit written(ids, cleared);
            m_pending = {};
            keepUnwritten();
            if (cleared > 0) {
                sendAll(); // as the database now holds them
            }
        }
        if (!m_database->isOpen()) {
            return;
        }
        while (!m_talentChanges.empty()) {
            Store::Talents changed = m_database->changeTalents(m_talentChanges.front());
            if (changed.fault != Store::Fault::None) {
                failed(changed.fault);
                return;
            }
            m_talentChanges.pop_front();
            if (changed.refusal) {
                tell(QString(), QString::fromStdString(*changed.refusal));
            }
            // The talents as the database now holds them, this program's
            // changes and any other's.
            emit talentsRead(changed.roster, 1);
        }
    }

    // Beside the database, whatever is not in it: the next opening takes it in.
    void keepUnwritten()
    {
        if (m_memoryOnly || (m_pending.empty() && !m_journal)) {
            return;
        }
        if (!m_database) {
            return;
        }
        const bool kept = m_database->keepUnwritten(m_pending) == Store::Fault::None;
        // A file that could not be removed is tried again.
        m_journal = !m_pending.empty() || !kept;
        if (!kept && !m_pending.empty()) {
            std::size_t rolls = 0;
            for (const Store::Changes& change : m_pending) {
                rolls += change.added.size();
            }
            tell(QStringLiteral("lost"),
                tr("%1 Würfe sind weder in der Datenbank %2 noch daneben gespeichert: Sie gehen verloren, wenn "
                   "Velmora jetzt beendet wird.")
                    .arg(rolls)
                    .arg(m_paths.database));
            std::fprintf(stderr, "velmora: %zu rolls could not be written to %s: %s\n", rolls,
                qPrintable(m_paths.database), qPrintable(m_database->lastError()));
        }
    }

public:
    int m_shown = 0; // rows the keeper shows, set from its thread between reads

private:
    Store::Paths m_paths;
    QStringList m_pragmas;
    QSettings* m_settings = nullptr;
    // Made by the first opening, on this thread: loading its module reads the disk.
    std::unique_ptr<Store> m_database;
    QTimer* m_retry;
    QTimer* m_look;
    std::vector<Store::Changes> m_pending;
    int m_clearings = 0;
    std::deque<std::function<Refusal(Roster&)>> m_talentChanges;
    std::optional<std::int64_t> m_version;
    bool m_memoryOnly = false;
    bool m_journal = false;
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
    Keeper* self = this;
    g_atExit.compare_exchange_strong(self, nullptr);
    if (m_thread == nullptr) {
        return;
    }
    // Undone by now or never: the cleared rolls go for good.
    if (!m_marks.empty()) {
        Store::Changes purge;
        for (const Mark& mark : m_marks) {
            purge.purged.push_back(mark.mark);
        }
        m_marks.clear();
        send([purge = std::move(purge)](KeeperWorker& worker) { worker.take(purge); });
    }
    ++*m_lookGeneration; // a look back stops at the next roll
    KeeperWorker* worker = std::exchange(m_worker, nullptr);
    QThread* thread = std::exchange(m_thread, nullptr);
    disconnect(worker, nullptr, this, nullptr);
    QMetaObject::invokeMethod(
        worker,
        [worker, thread] {
            worker->finish();
            delete worker;
            thread->quit();
        },
        Qt::QueuedConnection);
    // In slices that each also sleep: where the clock is made to stand
    // still (faketime), a timed wait alone ends at once.
    constexpr int kSlice = 20; // ms
    bool finished = false;
    for (int slice = 0; slice < (kFinishWithin + 1000) / kSlice && !finished; ++slice) {
        finished = thread->wait(QDeadlineTimer(kSlice));
        if (!finished) {
            QThread::msleep(5);
        }
    }
    if (finished) {
        delete thread;
    } else {
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
    m_worker = new KeeperWorker(m_paths, m_pragmas);
    m_worker->moveToThread(m_thread);
    connect(m_worker, &KeeperWorker::settingsRead, this, &Keeper::settingsRead);
    connect(m_worker, &KeeperWorker::layoutRead, this, &Keeper::layoutRead);
    connect(m_worker, &KeeperWorker::rollsRead, this, &Keeper::rollsRead);
    connect(m_worker, &KeeperWorker::olderRead, this, &Keeper::pageRead);
    connect(m_worker, &KeeperWorker::written, this, &Keeper::written);
    connect(m_worker, &KeeperWorker::talentsRead, this, &Keeper::talentsRead);
    connect(m_worker, &KeeperWorker::problem, this, &Keeper::tell);
    connect(m_worker, &KeeperWorker::exported, this, &Keeper::exported);
    connect(m_worker, &KeeperWorker::lookedBack, this, &Keeper::lookedBackFromDatabase);
    m_worker->m_lookGeneration = m_lookGeneration;
    g_atExit = this;
    m_thread->start();
    send([](KeeperWorker& worker) { worker.start(); });
    for (auto& job : std::exchange(m_unsent, {})) {
        send(std::move(job));
    }
}

LookedBack LookedBack::of(const LookBack& look)
{
    return {look.filter(), look.evenings(), {look.chosen().begin(), look.chosen().end()}, look.chosenIds(),
        look.record(), {look.talents().begin(), look.talents().end()}};
}

void Keeper::lookBack(const RollFilter& filter)
{
    // The same look on its way would be stopped again at every roll, and
    // with a long history never end: it is made once more when it is done.
    if (m_looking && filter == m_lookingFor) {
        m_lookAgain = true;
        return;
    }
    m_looking = true;
    m_lookAgain = false;
    m_lookingFor = filter;
    const int generation = ++*m_lookGeneration;
    send([filter, generation](KeeperWorker& worker) {
        worker.lookBack(std::make_shared<LookBack>(filter, worker.m_odds), {}, generation);
    });
}

void Keeper::lookedBackFromDatabase(const LookedBack& result, int generation, bool whole)
{
    if (generation != *m_lookGeneration) {
        return; // a newer look is on its way
    }
    m_looking = false;
    if (std::exchange(m_lookAgain, false)) {
        lookBack(m_lookingFor); // what came meanwhile, once
    }
    if (whole) {
        emit lookedBack(result);
        return;
    }
    // Without the database, what is in memory: less, but no roll made up.
    OddsCache odds;
    LookBack look(result.filter, odds);
    for (std::size_t row = rows(); row-- > 0;) {
        look.take(*entryAt(row));
    }
    emit lookedBack(LookedBack::of(look));
}

void Keeper::send(std::function<void(KeeperWorker&)> job)
{
    if (m_thread == nullptr) {
        m_unsent.push_back(std::move(job));
        return;
    }
    KeeperWorker* worker = m_worker;
    const int shown = static_cast<int>(rows());
    QMetaObject::invokeMethod(
        worker,
        [worker, shown, job = std::move(job)] {
            worker->m_shown = shown;
            job(*worker);
        },
        Qt::QueuedConnection);
}

const RollLog::Entry* Keeper::entryAt(std::size_t row) const
{
    if (row < m_log.size()) {
        return &m_log[m_log.size() - 1 - row];
    }
    return row < rows() ? &m_older[row - m_log.size()] : nullptr;
}

void Keeper::readOlder()
{
    if (m_more && !m_reading && m_thread != nullptr) {
        m_reading = true;
        send([](KeeperWorker& worker) { worker.readOlder(kPage); });
    }
}

const RollLog::Entry& Keeper::keep(const RollRecord& roll)
{
    // Not the dice's generator: an id only tells rolls apart.
    std::uint64_t id = 0;
    while (id == 0) {
        id = QRandomGenerator::system()->generate64();
    }
    if (m_log.size() == RollLog::kCapacity) {
        m_older.push_front(m_log[0]); // still shown, beneath the latest
    }
    m_log.add(roll, QTime::currentTime().toString(QStringLiteral("hh:mm:ss")).toStdString(), id,
        QDateTime::currentMSecsSinceEpoch());
    m_unwritten.insert(id);
    ++m_total;
    Store::Changes changes;
    changes.added.push_back(m_log.latest());
    send([changes = std::move(changes)](KeeperWorker& worker) { worker.take(changes); });
    return m_log.latest();
}

void Keeper::exportCsv(const QString& path, std::vector<RollLog::Entry> chosen, const RollFilter& filter)
{
    send([path, chosen = std::move(chosen), filter](KeeperWorker& worker) { worker.exportCsv(path, chosen, filter); });
}

void Keeper::removeShown(const std::unordered_set<std::uint64_t>& ids)
{
    for (const std::uint64_t id : ids) {
        m_unwritten.erase(id);
    }
    const auto gone = [&](const RollLog::Entry& e) { return ids.count(e.id) > 0; };
    std::vector<RollLog::Entry> kept;
    for (std::size_t i = 0; i < m_log.size(); ++i) {
        if (!gone(m_log[i])) {
            kept.push_back(m_log[i]);
        }
    }
    m_log.clear();
    for (const RollLog::Entry& entry : kept) {
        m_log.add(entry.roll, entry.time, entry.id, entry.when);
    }
    std::erase_if(m_older, gone);
}

void Keeper::clearLog(const std::vector<std::uint64_t>& ids)
{
    const std::unordered_set<std::uint64_t> gone(ids.begin(), ids.end());
    std::vector<RollLog::Entry> shown;
    for (std::size_t row = 0; row < rows(); ++row) {
        if (gone.count(entryAt(row)->id) > 0) {
            shown.push_back(*entryAt(row));
        }
    }
    removeShown(gone);
    // Chosen by a look back, they may lie beyond those read.
    const auto count = static_cast<std::int64_t>(gone.size());
    m_total = std::max<std::int64_t>(0, m_total - count);
    Store::Changes changes;
    changes.removed = ids;
    changes.mark = cleared(count, std::move(shown));
    m_clearings.push_back({gone, 0, changes.mark});
    send([changes = std::move(changes)](KeeperWorker& worker) { worker.take(changes); });
}

Keeper::Counted Keeper::counted() const
{
    Counted counted;
    for (std::size_t row = 0; row < rows(); ++row) {
        counted.ids.push_back(entryAt(row)->id);
    }
    counted.upTo = m_upTo;
    counted.total = m_total;
    return counted;
}

void Keeper::clearAll(const Counted& counted)
{
    const std::unordered_set<std::uint64_t> gone(counted.ids.begin(), counted.ids.end());
    std::vector<RollLog::Entry> shown;
    for (std::size_t row = 0; row < rows(); ++row) {
        if (gone.count(entryAt(row)->id) > 0) {
            shown.push_back(*entryAt(row));
        }
    }
    removeShown(gone);
    Store::Changes changes;
    changes.removed = counted.ids;
    changes.removedUpTo = counted.upTo;
    changes.mark = cleared(counted.total, std::move(shown));
    m_clearings.push_back({gone, counted.upTo, changes.mark});
    m_total = std::max<std::int64_t>(0, m_total - counted.total);
    m_more = false; // whatever is older was counted
    send([changes = std::move(changes)](KeeperWorker& worker) { worker.take(changes); });
}

std::int64_t Keeper::cleared(std::int64_t rolls, std::vector<RollLog::Entry> shown)
{
    // Told apart from every other clearing, this program's and another's.
    std::int64_t mark = 0;
    while (mark == 0) {
        mark = static_cast<std::int64_t>(QRandomGenerator::system()->generate64() >> 1);
    }
    m_marks.push_back({mark, rolls, std::move(shown)});
    emit undoableChanged(rolls);
    return mark;
}

bool Keeper::undoClearing()
{
    if (m_marks.empty()) {
        return false;
    }
    Mark undone = std::move(m_marks.back());
    m_marks.pop_back();
    // Shown again at once, as they were, whatever the database does meanwhile.
    for (Clearing& clearing : m_clearings) {
        if (clearing.mark == undone.mark) {
            clearing = {};
        }
    }
    std::vector<RollLog::Entry> all = std::move(undone.shown);
    for (std::size_t row = 0; row < rows(); ++row) {
        all.push_back(*entryAt(row));
    }
    m_total += undone.rolls;
    show(std::move(all));
    Store::Changes changes;
    changes.restored = undone.mark;
    m_clearings.push_back({}); // counted with the clearings on their way
    send([changes = std::move(changes)](KeeperWorker& worker) { worker.take(changes); });
    emit undoableChanged(undoable());
    emit logReplaced();
    return true;
}

Refusal Keeper::changeTalents(const std::function<Refusal(Roster&)>& change)
{
    Roster changed = m_roster;
    if (Refusal refusal = change(changed)) {
        return refusal;
    }
    m_roster = std::move(changed);
    ++m_talentChanges;
    send([change](KeeperWorker& worker) { worker.changeTalents(change); });
    return std::nullopt;
}

void Keeper::keepLayout(const QByteArray& geometry, const QByteArray& state)
{
    send([geometry, state](KeeperWorker& worker) {
        worker.keepSetting(QStringLiteral("layout/geometry"), geometry);
        worker.keepSetting(QStringLiteral("layout/state"), state);
    });
}

void Keeper::keepSetting(const QString& name, const QByteArray& value)
{
    send([name, value](KeeperWorker& worker) { worker.keepSetting(QStringLiteral("settings/") + name, value); });
}

void Keeper::lookForChanges()
{
    if (m_thread != nullptr) {
        send([](KeeperWorker& worker) { worker.look(); });
    }
}

void Keeper::written(const std::vector<std::uint64_t>& ids, int clearings)
{
    for (auto said = m_unsolved.cbegin(); said != m_unsolved.cend(); ++said) {
        m_said.remove(said.key()); // said again where it comes again
        emit solved(said.value());
    }
    m_unsolved.clear();
    for (const std::uint64_t id : ids) {
        m_unwritten.erase(id);
    }
    for (int i = 0; i < clearings && !m_clearings.empty(); ++i) {
        m_clearings.pop_front();
    }
}

void Keeper::rollsRead(const Store::Page& page)
{
    // The database's rolls, with this program's on their way and without
    // those it clears, newest first.
    std::vector<RollLog::Entry> all;
    std::unordered_set<std::uint64_t> read;
    std::size_t cleared = 0;
    for (std::size_t i = 0; i < page.rolls.size(); ++i) {
        const RollLog::Entry& entry = page.rolls[i];
        read.insert(entry.id);
        if (std::any_of(m_clearings.begin(), m_clearings.end(),
                [&](const Clearing& c) { return c.hides(entry.id, page.places[i]); })) {
            ++cleared;
        } else {
            all.push_back(entry);
        }
    }
    const std::size_t fromDatabase = all.size();
    for (std::size_t row = 0; row < rows(); ++row) {
        const RollLog::Entry* entry = entryAt(row);
        if (m_unwritten.count(entry->id) > 0 && read.count(entry->id) == 0) {
            all.push_back(*entry);
        }
    }
    std::stable_sort(all.begin(), all.end(), [](const auto& a, const auto& b) { return a.when > b.when; });
    m_upTo = page.upTo;
    // Before a clearing of all is written, the database holds the cleared
    // ones beyond those read too.
    const bool allGo =
        std::any_of(m_clearings.begin(), m_clearings.end(), [](const Clearing& c) { return c.upTo > 0; });
    m_more = page.more && !allGo;
    m_total = allGo
        ? static_cast<std::int64_t>(all.size())
        : page.total - static_cast<std::int64_t>(cleared) + static_cast<std::int64_t>(all.size() - fromDatabase);
    // Unchanged, the views keep their place: a read comes whenever anything
    // else in the database changed.
    bool same = all.size() == rows();
    for (std::size_t row = 0; same && row < all.size(); ++row) {
        same = all[row].id == entryAt(row)->id;
    }
    if (same && m_loaded) {
        return;
    }
    m_loaded = true;
    show(std::move(all));
    emit logReplaced();
}

void Keeper::show(std::vector<RollLog::Entry> all)
{
    std::stable_sort(all.begin(), all.end(), [](const auto& a, const auto& b) { return a.when > b.when; });
    std::unordered_set<std::uint64_t> seen;
    std::erase_if(all, [&](const RollLog::Entry& e) { return !seen.insert(e.id).second; });
    const std::size_t latest = std::min(all.size(), RollLog::kCapacity);
    m_log.clear();
    for (std::size_t i = latest; i-- > 0;) {
        m_log.add(all[i].roll, all[i].time, all[i].id, all[i].when);
    }
    m_older.assign(all.begin() + static_cast<std::ptrdiff_t>(latest), all.end());
}

void Keeper::pageRead(const Store::Page& page)
{
    m_reading = false;
    const bool allGo =
        std::any_of(m_clearings.begin(), m_clearings.end(), [](const Clearing& c) { return c.upTo > 0; });
    m_more = page.more && !allGo;
    std::unordered_set<std::uint64_t> shown;
    for (std::size_t row = 0; row < rows(); ++row) {
        shown.insert(entryAt(row)->id);
    }
    int added = 0;
    for (std::size_t i = 0; i < page.rolls.size(); ++i) {
        const RollLog::Entry& entry = page.rolls[i];
        const bool cleared = std::any_of(m_clearings.begin(), m_clearings.end(),
            [&](const Clearing& c) { return c.hides(entry.id, page.places[i]); });
        if (!cleared && shown.count(entry.id) == 0) {
            m_older.push_back(entry);
            ++added;
        }
    }
    emit olderRead(added);
}

void Keeper::talentsRead(const Roster& read, int changes)
{
    m_talentChanges -= changes;
    // Read before the latest change here was written, it would undo it.
    if (m_talentChanges > 0) {
        return;
    }
    Roster roster = read;
    // The character chosen here stays chosen here, whatever another Velmora
    // chose: a game master plays one character in each.
    if (const Character* mine = m_roster.currentCharacter()) {
        if (const auto same = roster.characterIndex(mine->name)) {
            roster.setCurrent(*same);
        }
    }
    if (roster != m_roster) {
        m_roster = std::move(roster);
        emit rosterReplaced();
    }
}

void Keeper::tell(const QString& cause, const QString& message)
{
    // A refusal of a change, each time; trouble once per cause.
    if (cause.isEmpty() || !m_said.contains(cause)) {
        m_said.insert(cause);
        if (cause.startsWith(QLatin1String("fault-")) || cause == QLatin1String("lost")) {
            m_unsolved.insert(cause, message);
        }
        emit problem(message);
    }
}

} // namespace velmora

#include "Keeper.moc"
