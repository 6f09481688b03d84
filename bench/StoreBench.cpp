#include "Paint.h"

#include "app/log/RollLogView.h"
#include "app/session/Session.h"
#include "app/store/Database.h"
#include "app/store/Keeper.h"
#include "app/window/MainWindow.h"

#include "dice/Clock.h"
#include "dice/MixingGenerator.h"
#include <QTableWidget>

#include <QDir>
#include <QFileInfo>
#include <QListWidget>
#include <QPushButton>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>

#include <algorithm>
#include <chrono>
#include <map>
#include <memory>
#include <vector>

namespace velmora::bench {
namespace {

RollLog::Entry talentRoll(std::uint64_t id)
{
    RollLog::Entry entry;
    entry.id = id;
    entry.when = 1'765'000'000'000 + static_cast<std::int64_t>(id);
    entry.time = "21:15:11";
    entry.roll.step = 40;
    entry.roll.karmaLevel = 4;
    entry.roll.dice = {{20, false, {20, 7}}, {20, false, {3}}, {10, true, {10, 4}}};
    entry.roll.outcome = RollRecord::Outcome::Sum;
    entry.roll.total = 44;
    entry.roll.character = "Arven";
    entry.roll.talent = "Schwertkampf";
    return entry;
}

// A roll's transaction, from its start until the commit is on the disk:
// the time between a roll shown and a roll that a power cut cannot take.
// The median and the 99th percentile of the iterations, in microseconds.
void BM_RollToCommitted(benchmark::State& state)
{
    QTemporaryDir dir(QDir::currentPath() + QStringLiteral("/velmora-bench-XXXXXX")); // the disk, not a tmpfs
    Database db({dir.filePath(QStringLiteral("velmora.sqlite")), {}, {}, {}});
    if (db.open().fault != Database::Fault::None) {
        state.SkipWithError("the database did not open");
        return;
    }
    std::vector<double> micros;
    std::uint64_t id = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        Store::Changes changes;
        changes.added.push_back(talentRoll(++id));
        const Database::Fault fault = db.write({changes});
        const std::chrono::duration<double, std::micro> took = std::chrono::steady_clock::now() - start;
        if (fault != Database::Fault::None) {
            state.SkipWithError("a roll was not written");
            return;
        }
        micros.push_back(took.count());
    }
    std::sort(micros.begin(), micros.end());
    state.counters["median_us"] = micros[micros.size() / 2];
    state.counters["p99_us"] = micros[std::min(micros.size() - 1, micros.size() * 99 / 100)];
}
BENCHMARK(BM_RollToCommitted)->Iterations(2000)->Unit(benchmark::kMicrosecond);

// A database at `path` with that many rolls, by SQL: a million in seconds.
void makeDatabase(const QString& path, int rolls)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    Database db({path, {}, {}, {}});
    [[maybe_unused]] const Database::Opened opened = db.open();
    db.close();
    {
        QSqlDatabase raw = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("filler"));
        raw.setDatabaseName(path);
        raw.open();
        QSqlQuery(raw).exec(
            QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "
                           "INSERT INTO rolls (id, rolled_at, time, step, karma, outcome, total, modifier, error, "
                           "character, talent, dice) SELECT i, 1765000000000 + i, '21:15:11', i % 40 + 1, i % 5, "
                           "'sum', 12, 0, NULL, 'Arven', 'Schwertkampf', '[{\"sides\":20,\"karma\":false,"
                           "\"faces\":[20,7]},{\"sides\":6,\"karma\":true,\"faces\":[3]}]' FROM n")
                .arg(rolls));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("filler"));
}

// A database of that many rolls, made once.
QString databaseOf(int rolls)
{
    static std::map<int, std::unique_ptr<QTemporaryDir>> made;
    auto& dir = made[rolls];
    if (!dir) {
        dir = std::make_unique<QTemporaryDir>(QDir::currentPath() + QStringLiteral("/velmora-bench-XXXXXX"));
        makeDatabase(dir->filePath(QStringLiteral("velmora.sqlite")), rolls);
    }
    return dir->filePath(QStringLiteral("velmora.sqlite"));
}

void waitLoaded(const Keeper& keeper)
{
    while (!keeper.loaded()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    }
}

// From opening the database, as after the first frame, until the log
// window has painted its latest rolls: with ten rolls in the file, and with
// a thousand, and a history of a million.
void BM_OpenToTheLogsFirstFrame(benchmark::State& state)
{
    const QString path = databaseOf(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        MixingGenerator generator;
        SystemClock clock;
        Session session(generator, clock, {path, {}, {}, {}});
        session.keeper().start();
        waitLoaded(session.keeper());
        RollLogView view(session);
        view.show();
        view.open();
        [[maybe_unused]] const bool exposed = QTest::qWaitForWindowExposed(&view);
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        state.SetIterationTime(took.count());
        state.counters["shown"] = static_cast<double>(view.table()->model()->rowCount());
    }
}
BENCHMARK(BM_OpenToTheLogsFirstFrame)
    ->Arg(10)
    ->Arg(1000)
    ->Arg(1'000'000)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// The process's resident memory now, in KiB.
double residentKib()
{
    long pages = 0;
    long resident = 0;
    if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2) {
            resident = 0;
        }
        std::fclose(statm);
    }
    return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / 1024.0;
}

// The keeper started on a history of that many rolls (one, a thousand, a
// million), until its latest are read: the time, and the memory it then
// holds beyond what the process held before.
void BM_LoadTheHistory(benchmark::State& state)
{
    const QString path = databaseOf(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        const double before = residentKib();
        const auto start = std::chrono::steady_clock::now();
        Keeper keeper({path, {}, {}, {}});
        keeper.start();
        waitLoaded(keeper);
        state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        state.counters["rows"] = static_cast<double>(keeper.rows());
        state.counters["grown_kib"] = residentKib() - before;
    }
}
BENCHMARK(BM_LoadTheHistory)
    ->Arg(1)
    ->Arg(1000)
    ->Arg(1'000'000)
    ->Iterations(5)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// Looking back on a history of that many rolls (a thousand, a million)
// through a filter of one step: from the request until the evenings and the
// chosen rolls' record are back, read on the keeper's thread.
void BM_LookBack(benchmark::State& state)
{
    const QString path = databaseOf(static_cast<int>(state.range(0)));
    Keeper keeper({path, {}, {}, {}});
    keeper.start();
    waitLoaded(keeper);
    for (auto _ : state) {
        bool back = false;
        std::size_t chosen = 0;
        const QMetaObject::Connection told =
            QObject::connect(&keeper, &Keeper::lookedBack, [&](const LookedBack& looked) {
                back = true;
                chosen = looked.chosenIds.size();
            });
        const auto start = std::chrono::steady_clock::now();
        RollFilter filter;
        filter.step = 14;
        keeper.lookBack(filter);
        while (!back) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        }
        state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        QObject::disconnect(told);
        state.counters["chosen"] = static_cast<double>(chosen);
    }
}
BENCHMARK(BM_LookBack)->Arg(1000)->Arg(1'000'000)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);

// Page Down through the log of a million rolls, each step until the table
// has painted: the window's share, with older rolls read on the keeper's
// thread as the view comes to them. The slowest step and the 99th
// percentile, in milliseconds, and how many rolls were read by the end.
void BM_ScrollTheHistory(benchmark::State& state)
{
    const QString path = databaseOf(1'000'000);
    MixingGenerator generator;
    SystemClock clock;
    Session session(generator, clock, {path, {}, {}, {}});
    session.keeper().start();
    waitLoaded(session.keeper());
    RollLogView view(session);
    view.resize(700, 600);
    view.show();
    view.open();
    [[maybe_unused]] const bool exposed = QTest::qWaitForWindowExposed(&view);
    std::vector<double> ms;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        PaintWatch watch(view.table()->viewport());
        QTest::keyClick(view.table(), Qt::Key_PageDown);
        waitForPaint(watch);
        ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
        // Older rolls come in as the keeper reads them, between the steps.
        QCoreApplication::processEvents();
    }
    std::sort(ms.begin(), ms.end());
    state.counters["max_ms"] = ms.back();
    state.counters["p99_ms"] = ms[std::min(ms.size() - 1, ms.size() * 99 / 100)];
    state.counters["rows"] = static_cast<double>(view.table()->model()->rowCount());
}
BENCHMARK(BM_ScrollTheHistory)->Iterations(2000)->Unit(benchmark::kMillisecond);

// Clicks on "Stufe 40" until the band has painted, while the database is
// in use: argument 0, another program holds a write transaction all the
// while; 1, a database of a million rolls was opened right before the first
// click, and its latest rolls are read meanwhile. The slowest click and the
// 99th percentile, in milliseconds.
void BM_ClickWhileTheDatabaseIsBusy(benchmark::State& state)
{
    QTemporaryDir home(QDir::currentPath() + QStringLiteral("/velmora-bench-XXXXXX"));
    const QByteArray dataHome = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", home.path().toUtf8());
    const QString path = Database::userPaths().database;
    makeDatabase(path, state.range(0) == 1 ? 1'000'000 : 10);
    QSqlDatabase holder = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("holder"));
    holder.setDatabaseName(path);
    holder.open();
    if (state.range(0) == 0) {
        QSqlQuery(holder).exec(QStringLiteral("BEGIN IMMEDIATE"));
    }
    std::vector<double> ms;
    {
        MixingGenerator generator;
        SystemClock clock;
        Session session(generator, clock);
        MainWindow window(session);
        window.show();
        [[maybe_unused]] const bool exposed = QTest::qWaitForWindowExposed(&window);
        window.restoreKept();
        auto* step = window.findChild<QPushButton*>(QStringLiteral("Command40"));
        QWidget* view = window.findChild<QWidget*>(QStringLiteral("transcript"));
        for (auto _ : state) {
            const auto start = std::chrono::steady_clock::now();
            PaintWatch watch(view);
            QTest::mouseClick(step, Qt::LeftButton);
            waitForPaint(watch);
            ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
        }
        if (state.range(0) == 0) {
            QSqlQuery(holder).exec(QStringLiteral("ROLLBACK")); // so that the window's end writes them
        }
    }
    holder.close();
    holder = QSqlDatabase();
    QSqlDatabase::removeDatabase(QStringLiteral("holder"));
    qputenv("XDG_DATA_HOME", dataHome);
    std::sort(ms.begin(), ms.end());
    state.counters["max_ms"] = ms.back();
    state.counters["p99_ms"] = ms[std::min(ms.size() - 1, ms.size() * 99 / 100)];
}
BENCHMARK(BM_ClickWhileTheDatabaseIsBusy)->Arg(0)->Arg(1)->Iterations(300)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace velmora::bench
