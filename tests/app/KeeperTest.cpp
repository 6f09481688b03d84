#include "WindowRig.h"

#include "app/store/Database.h"
#include "app/store/Keeper.h"
#include "app/window/MessageBar.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <optional>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

namespace velmora {
namespace {

using fixtures::WindowRig;

Database::Paths pathsIn(const QTemporaryDir& dir)
{
    return {dir.filePath(QStringLiteral("velmora.sqlite")), {}, {}, {}};
}

RollRecord stepRoll(int step)
{
    RollRecord roll;
    roll.step = step;
    roll.dice = {{6, false, {step % 6 + 1}}};
    roll.outcome = RollRecord::Outcome::Sum;
    roll.total = step % 6 + 1;
    return roll;
}

std::vector<std::uint64_t> idsOf(const RollLog& log)
{
    std::vector<std::uint64_t> ids;
    for (std::size_t i = 0; i < log.size(); ++i) {
        ids.push_back(log[i].id);
    }
    return ids;
}

// The ids in the file, as another program reads them, in the order rolled.
std::vector<std::uint64_t> idsInFile(const QString& path)
{
    std::vector<std::uint64_t> ids;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("reader"));
        db.setDatabaseName(path);
        if (db.open()) {
            QSqlQuery query(db);
            query.exec(QStringLiteral("SELECT id FROM rolls WHERE cleared IS NULL ORDER BY rolled_at, seq"));
            while (query.next()) {
                ids.push_back(static_cast<std::uint64_t>(query.value(0).toLongLong()));
            }
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("reader"));
    return ids;
}

void startAndLoad(Keeper& keeper)
{
    keeper.start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return keeper.loaded(); }));
}

// Two Velmoras on one database: each shows the rolls of both, in the order
// rolled; "Verlauf leeren" in one deletes exactly what it showed, for both,
// while the other goes on rolling.
TEST(Keeper, TwoProgramsShowOneLogAndAClearingHoldsForBoth)
{
    QTemporaryDir dir;
    std::vector<std::uint64_t> after;
    {
        Keeper a(pathsIn(dir));
        Keeper b(pathsIn(dir));
        startAndLoad(a);
        startAndLoad(b);
        for (int n = 1; n <= 8; ++n) {
            (n % 2 == 0 ? a : b).keep(stepRoll(n));
            QTest::qWait(2); // a millisecond apart, as hands roll
        }
        ASSERT_TRUE(QTest::qWaitFor([&] { return a.log().size() == 8 && b.log().size() == 8; }, 10'000))
            << a.log().size() << " and " << b.log().size();
        EXPECT_EQ(idsOf(a.log()), idsOf(b.log()));
        EXPECT_EQ(idsOf(a.log()), idsInFile(pathsIn(dir).database));

        a.clearLog(idsOf(a.log()));
        EXPECT_TRUE(a.log().empty());
        after.push_back(b.keep(stepRoll(9)).id);
        ASSERT_TRUE(QTest::qWaitFor([&] { return a.log().size() == 1 && b.log().size() == 1; }, 10'000))
            << a.log().size() << " and " << b.log().size();
        EXPECT_EQ(idsOf(a.log()), after);
    }
    EXPECT_EQ(idsInFile(pathsIn(dir).database), after);
}

// A clearing made while a snapshot with another program's roll is on its
// way drops that snapshot, read before the clearing: the roll must come
// back all the same, though no other program commits again.
TEST(Keeper, AClearingDoesNotHideWhatAnotherProgramRolledMeanwhile)
{
    QTemporaryDir dir;
    Keeper a(pathsIn(dir));
    Keeper b(pathsIn(dir));
    startAndLoad(a);
    startAndLoad(b);
    a.keep(stepRoll(5));
    ASSERT_TRUE(QTest::qWaitFor([&] { return b.log().size() == 1; }, 5000));
    const std::uint64_t theirs = b.keep(stepRoll(7)).id;
    ASSERT_TRUE(QTest::qWaitFor([&] { return idsInFile(pathsIn(dir).database).size() == 2; }));
    a.lookForChanges();
    // The snapshot is posted meanwhile, and waits behind the clearing.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    a.clearLog({a.log()[0].id});
    EXPECT_TRUE(QTest::qWaitFor([&] { return idsOf(a.log()) == std::vector<std::uint64_t>{theirs}; }, 5000))
        << a.log().size();
}

// Two Velmoras changing the talents at once lose neither's change, and each
// shows the other's; a change to what the other deleted meanwhile is
// refused with its reason, not made.
TEST(Keeper, TwoProgramsLoseNeithersTalentsAndEachShowsTheOthers)
{
    QTemporaryDir dir;
    Keeper a(pathsIn(dir));
    Keeper b(pathsIn(dir));
    startAndLoad(a);
    startAndLoad(b);
    const auto add = [](const std::string& name) {
        return [name](Roster& roster) { return roster.addCharacter(name); };
    };
    ASSERT_FALSE(a.changeTalents(add("Arven")));
    ASSERT_FALSE(b.changeTalents(add("Bryn")));
    const auto names = [](const Keeper& k) {
        std::vector<std::string> all;
        for (const Character& c : k.roster().characters()) {
            all.push_back(c.name);
        }
        std::sort(all.begin(), all.end());
        return all;
    };
    const std::vector<std::string> both{"Arven", "Bryn"};
    b.lookForChanges();
    a.lookForChanges();
    ASSERT_TRUE(QTest::qWaitFor([&] { return names(a) == both && names(b) == both; }, 5000))
        << names(a).size() << " and " << names(b).size();

    // Each plays its own character: the other's choice, written with a
    // change this one must show, does not move this one's.
    ASSERT_FALSE(a.changeTalents([](Roster& roster) {
        roster.setCurrent(*roster.characterIndex("Arven"));
        return Refusal();
    }));
    QTest::qWait(100); // written before b's change comes
    ASSERT_FALSE(b.changeTalents([](Roster& roster) {
        const std::size_t bryn = *roster.characterIndex("Bryn");
        roster.setCurrent(bryn);
        return roster.addTalent(bryn, "Reiten", 5);
    }));
    a.lookForChanges();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            const auto bryn = a.roster().characterIndex("Bryn");
            return bryn && a.roster().talentIndex(*bryn, "Reiten");
        },
        5000));
    EXPECT_EQ(a.roster().currentCharacter()->name, "Arven");

    QSignalSpy refused(&a, &Keeper::problem);
    ASSERT_FALSE(b.changeTalents([](Roster& roster) {
        roster.removeCharacter(*roster.characterIndex("Arven"));
        return Refusal();
    }));
    QTest::qWait(100); // written before a's change comes
    ASSERT_FALSE(a.changeTalents([](Roster& roster) {
        const auto arven = roster.characterIndex("Arven");
        return arven ? roster.addTalent(*arven, "Wahrnehmung", 9) : Refusal("Arven gibt es nicht mehr.");
    })) << "here, Arven is still there";
    ASSERT_TRUE(QTest::qWaitFor([&] { return !refused.isEmpty(); }, 5000));
    EXPECT_EQ(refused.front().front().toString(), QStringLiteral("Arven gibt es nicht mehr."));
    EXPECT_TRUE(QTest::qWaitFor([&] { return names(a) == std::vector<std::string>{"Bryn"}; }, 5000));
}

// While another program holds the database, rolls are shown at once and
// written once it lets go; what is still unwritten when the program ends
// is written then.
TEST(Keeper, WhatIsShownIsWrittenThroughALockAndAtTheEnd)
{
    QTemporaryDir dir;
    const QString path = pathsIn(dir).database;
    {
        Database made(pathsIn(dir));
        ASSERT_EQ(made.open().fault, Database::Fault::None);
    }
    std::vector<std::uint64_t> shown;
    std::atomic<bool> held = false;
    std::thread other;
    {
        QSqlDatabase holder = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("holder"));
        holder.setDatabaseName(path);
        ASSERT_TRUE(holder.open());
        QSqlQuery(holder).exec(QStringLiteral("BEGIN IMMEDIATE"));
        Keeper keeper(pathsIn(dir));
        startAndLoad(keeper);
        for (int n = 1; n <= 3; ++n) {
            shown.push_back(keeper.keep(stepRoll(n)).id);
        }
        EXPECT_EQ(idsOf(keeper.log()), shown) << "shown at once";
        QTest::qWait(300); // the worker tries, and finds the lock
        EXPECT_TRUE(idsInFile(path).empty());
        // Kept beside the database once the lock outlasts the busy timeout,
        // before the program ends: a crash now would lose none of them.
        const QFileInfo database(path);
        EXPECT_TRUE(QTest::qWaitFor(
            [&] {
                return !database.dir().entryList({database.fileName() + QStringLiteral(".ungespeichert*")}).isEmpty();
            },
            10'000));
        QSqlQuery(holder).exec(QStringLiteral("ROLLBACK"));
        holder.close();
        holder = QSqlDatabase();
        QSqlDatabase::removeDatabase(QStringLiteral("holder"));
        EXPECT_TRUE(QTest::qWaitFor([&] { return idsInFile(path) == shown; }, 5000));
        // Rolls still waiting for the lock when the program ends.
        other = std::thread([&] {
            {
                QSqlDatabase late = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("late"));
                late.setDatabaseName(path);
                late.open();
                QSqlQuery(late).exec(QStringLiteral("BEGIN IMMEDIATE"));
                held = true;
                std::this_thread::sleep_for(std::chrono::milliseconds(500)); // holding, as another program would
                QSqlQuery(late).exec(QStringLiteral("ROLLBACK"));
            }
            QSqlDatabase::removeDatabase(QStringLiteral("late"));
        });
        while (!held) {
            std::this_thread::yield();
        }
        for (int n = 4; n <= 5; ++n) {
            shown.push_back(keeper.keep(stepRoll(n)).id);
        }
    } // closed right after the rolls, while the other still holds the lock
    other.join();
    EXPECT_EQ(idsInFile(path), shown);
}

// What is shown stays what will be written: a snapshot of the database taken
// while this program's clearing and roll still wait for a lock shows them
// as done, with another program's new roll.
TEST(Keeper, ASnapshotWhileChangesWaitShowsThemDone)
{
    QTemporaryDir dir;
    const QString path = pathsIn(dir).database;
    Keeper keeper(pathsIn(dir));
    startAndLoad(keeper);
    keeper.keep(stepRoll(1));
    keeper.keep(stepRoll(2));
    ASSERT_TRUE(QTest::qWaitFor([&] { return idsInFile(path).size() == 2; }));
    {
        QSqlDatabase other = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("other"));
        other.setDatabaseName(path);
        ASSERT_TRUE(other.open());
        QSqlQuery(other).exec(QStringLiteral("BEGIN IMMEDIATE"));
        keeper.clearLog(idsOf(keeper.log()));
        const std::uint64_t mine = keeper.keep(stepRoll(3)).id;
        QTest::qWait(300); // the worker tries, and finds the lock
        // Another program's roll, committed, and the lock taken again at once.
        QSqlQuery(other).exec(QStringLiteral(
            "INSERT INTO rolls (id, rolled_at, time, step, karma, outcome, total, modifier, character, talent, dice) "
            "VALUES (77, 1765000000000, '21:15:11', 3, 0, 'sum', 4, 0, '', '', '[{\"sides\":4,\"karma\":false,"
            "\"faces\":[4]}]')"));
        QSqlQuery(other).exec(QStringLiteral("COMMIT"));
        QSqlQuery(other).exec(QStringLiteral("BEGIN IMMEDIATE"));
        keeper.lookForChanges();
        ASSERT_TRUE(QTest::qWaitFor([&] {
            const auto ids = idsOf(keeper.log());
            return std::find(ids.begin(), ids.end(), 77U) != ids.end();
        }));
        std::vector<std::uint64_t> shown = idsOf(keeper.log());
        std::vector<std::uint64_t> expected{77, mine};
        std::sort(shown.begin(), shown.end());
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(shown, expected) << "the cleared rolls stay gone, the waiting roll stays shown";
        QSqlQuery(other).exec(QStringLiteral("ROLLBACK"));
        other.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("other"));
}

// A database with these rolls in it, made as another program would.
void fill(const QString& path, int rolls)
{
    {
        Database made({path, {}, {}, {}});
        ASSERT_EQ(made.open().fault, Database::Fault::None);
    }
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("filler"));
        db.setDatabaseName(path);
        ASSERT_TRUE(db.open());
        QSqlQuery(db).exec(QStringLiteral(
            "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1) INSERT INTO rolls (id, "
            "rolled_at, time, step, karma, outcome, total, modifier, dice) SELECT i, 1765000000000 + i * 1000, "
            "'21:15:11', 3, 0, 'sum', 4, 0, '[{\"sides\":4,\"karma\":false,\"faces\":[4]}]' FROM n")
                               .arg(rolls));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("filler"));
}

// Every roll of a long history is there as the view reads on, each once,
// newest first; the latest are read at once, the older page by page.
TEST(Keeper, TheWholeHistoryIsReadPageByPageNewestFirst)
{
    QTemporaryDir dir;
    fill(pathsIn(dir).database, 2'345);
    Keeper keeper(pathsIn(dir));
    startAndLoad(keeper);
    EXPECT_EQ(keeper.rows(), RollLog::kCapacity);
    EXPECT_EQ(keeper.total(), 2'345);
    const std::uint64_t mine = keeper.keep(stepRoll(5)).id;
    for (int pages = 0; keeper.hasOlder() && pages < 100; ++pages) {
        keeper.readOlder();
        const std::size_t before = keeper.rows();
        ASSERT_TRUE(QTest::qWaitFor([&] { return keeper.rows() > before || !keeper.hasOlder(); }));
    }
    ASSERT_EQ(keeper.rows(), 2'346U);
    EXPECT_EQ(keeper.entryAt(0)->id, mine);
    for (std::size_t row = 1; row < keeper.rows(); ++row) {
        EXPECT_EQ(keeper.entryAt(row)->id, 2'346 - row) << row;
    }
}

// Looking back on a long history reads it a page at a time: a roll made
// meanwhile is written between two pages, not after the whole history, and
// so is among the rolls the look back chose.
TEST(Keeper, ARollMadeWhileLookingBackIsWrittenBetweenPages)
{
    QTemporaryDir dir;
    fill(pathsIn(dir).database, 50'000);
    Keeper keeper(pathsIn(dir));
    startAndLoad(keeper);
    std::optional<LookedBack> looked;
    QObject::connect(&keeper, &Keeper::lookedBack, [&looked](const LookedBack& result) { looked = result; });
    RollFilter step5;
    step5.step = 5;
    int answers = 0;
    QObject::connect(&keeper, &Keeper::lookedBack, [&answers] { ++answers; });
    keeper.lookBack(step5);
    const std::uint64_t mine = keeper.keep(stepRoll(5)).id;
    // Asked again as the roll comes, the look on its way is not stopped:
    // it ends, and is made once more.
    keeper.lookBack(step5);
    keeper.lookBack(step5);
    ASSERT_TRUE(QTest::qWaitFor([&] { return answers == 2; }, 60'000));
    EXPECT_EQ(looked->chosenIds, std::vector<std::uint64_t>{mine});
    EXPECT_EQ(looked->evenings.size(), 2U) << "a roll a second in 2025, and mine now";
}

// "Verlauf leeren" deletes what it counted: a roll that another program
// made after this one last read the database stays.
TEST(Keeper, ClearingAllDeletesWhatWasCountedOnly)
{
    QTemporaryDir dir;
    fill(pathsIn(dir).database, 30);
    Keeper keeper(pathsIn(dir));
    startAndLoad(keeper);
    keeper.keep(stepRoll(2));
    ASSERT_EQ(keeper.total(), 31);
    {
        QSqlDatabase other = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("other"));
        other.setDatabaseName(pathsIn(dir).database);
        ASSERT_TRUE(other.open());
        ASSERT_TRUE(QSqlQuery(other).exec(QStringLiteral(
            "INSERT INTO rolls (id, rolled_at, time, step, karma, outcome, total, modifier, dice) VALUES (777, "
            "1765000000000, '21:15:11', 3, 0, 'sum', 4, 0, '[{\"sides\":4,\"karma\":false,\"faces\":[4]}]')")));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("other"));
    keeper.clearAll();
    EXPECT_EQ(keeper.total(), 0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return idsInFile(pathsIn(dir).database) == std::vector<std::uint64_t>{777}; }))
        << idsInFile(pathsIn(dir).database).size();
    keeper.lookForChanges();
    EXPECT_TRUE(QTest::qWaitFor([&] { return keeper.rows() == 1 && keeper.entryAt(0)->id == 777; }));
}

// A clearing can be undone until the program ends, for every Velmora;
// at its end, what is still cleared is gone from the file.
TEST(Keeper, AClearingIsUndoneForBothProgramsAndGoneForGoodAtTheEnd)
{
    QTemporaryDir dir;
    fill(pathsIn(dir).database, 12);
    Keeper b(pathsIn(dir));
    startAndLoad(b);
    {
        Keeper a(pathsIn(dir));
        startAndLoad(a);
        QSignalSpy undoable(&a, &Keeper::undoableChanged);
        a.clearAll();
        EXPECT_EQ(a.undoable(), 12);
        ASSERT_TRUE(QTest::qWaitFor([&] {
            b.lookForChanges();
            return b.rows() == 0;
        }));
        ASSERT_TRUE(a.undoClearing());
        EXPECT_EQ(a.undoable(), 0);
        EXPECT_FALSE(a.undoClearing()) << "nothing left to undo";
        EXPECT_EQ(a.rows(), 12U) << "back at once, whatever the database does meanwhile";
        EXPECT_TRUE(QTest::qWaitFor([&] { return a.rows() == 12 && a.total() == 12; }));
        EXPECT_TRUE(QTest::qWaitFor([&] {
            b.lookForChanges();
            return b.rows() == 12;
        }));
        a.clearLog({a.entryAt(0)->id, a.entryAt(1)->id});
        EXPECT_EQ(undoable.size(), 3);
        EXPECT_EQ(undoable.back().front().toLongLong(), 2);
    }
    QSqlDatabase file = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("file"));
    file.setDatabaseName(pathsIn(dir).database);
    ASSERT_TRUE(file.open());
    QSqlQuery count(file);
    ASSERT_TRUE(count.exec(QStringLiteral("SELECT count(*), count(cleared) FROM rolls")) && count.next());
    EXPECT_EQ(count.value(0).toInt(), 10) << "the two cleared last are gone from the file";
    EXPECT_EQ(count.value(1).toInt(), 0);
    count = QSqlQuery();
    file = QSqlDatabase();
    QSqlDatabase::removeDatabase(QStringLiteral("file"));
    EXPECT_TRUE(QTest::qWaitFor([&] {
        b.lookForChanges();
        return b.rows() == 10;
    }));
}

// A page of older rolls read while a clearing of all is on its way brings
// none of the cleared rolls back, nor the promise of more.
TEST(Keeper, APageReadAcrossAClearingBringsNothingBack)
{
    QTemporaryDir dir;
    fill(pathsIn(dir).database, 3'000);
    Keeper keeper(pathsIn(dir));
    startAndLoad(keeper);
    ASSERT_TRUE(keeper.hasOlder());
    QSignalSpy read(&keeper, &Keeper::olderRead);
    keeper.readOlder(); // read by the worker before it takes the clearing
    keeper.clearAll();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !read.isEmpty(); }));
    EXPECT_EQ(keeper.rows(), 0U);
    EXPECT_FALSE(keeper.hasOlder());
}

// A page of the newest rolls overwritten on the disk: found as they are
// read, the file is kept aside, the rolls that can be read come back in a
// new one, and the next rolls are kept there; the program goes on.
TEST(Keeper, DamageFoundWhileReadingKeepsTheFileAsideAndTheReadableRolls)
{
    QTemporaryDir dir;
    const QString path = pathsIn(dir).database;
    fill(path, 300);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("marker"));
        db.setDatabaseName(path);
        ASSERT_TRUE(db.open());
        ASSERT_TRUE(QSqlQuery(db).exec(QStringLiteral("UPDATE rolls SET talent = 'Ziel ' || id, character = 'Arven'")));
        QSqlQuery(db).exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("marker"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    QByteArray bytes = file.readAll();
    const qsizetype page = bytes.indexOf("Ziel 290") / 4096 * 4096;
    ASSERT_GT(page, 0);
    file.seek(page + 8);
    file.write(QByteArray(2000, '\xa5'));
    file.close();
    Keeper keeper(pathsIn(dir));
    QSignalSpy said(&keeper, &Keeper::problem);
    keeper.start();
    const QDir folder = QFileInfo(path).dir();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            keeper.lookForChanges();
            return !folder.entryList({QStringLiteral("velmora.sqlite.unlesbar-*")}).isEmpty() && keeper.rows() > 200;
        },
        15'000))
        << keeper.rows() << " rolls shown";
    EXPECT_LT(keeper.rows(), 300U) << "those of the overwritten page are gone";
    const std::uint64_t next = keeper.keep(stepRoll(4)).id;
    EXPECT_TRUE(QTest::qWaitFor([&] {
        const auto ids = idsInFile(path);
        return std::find(ids.begin(), ids.end(), next) != ids.end();
    }));
}

// Rolls that cannot be written before the program ends are kept beside the
// database, and the next start takes them in: on a full disk, under
// another program's lock, where writing is refused.
TEST(Keeper, WhatCannotBeWrittenAtTheEndComesBackAtTheNextStart)
{
    const struct {
        const char* trouble;
        QStringList pragmas;
        bool locked;
    } cases[] = {
        {"a full disk", {QStringLiteral("max_page_count = 1")}, false},
        {"no permission", {QStringLiteral("query_only = 1")}, false},
        {"a lock held past the end", {}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.trouble);
        QTemporaryDir dir;
        fill(pathsIn(dir).database, 3);
        std::vector<std::uint64_t> shown;
        {
            QSqlDatabase holder = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("holder"));
            holder.setDatabaseName(pathsIn(dir).database);
            ASSERT_TRUE(holder.open());
            Keeper keeper(pathsIn(dir), c.pragmas);
            startAndLoad(keeper);
            if (c.locked) {
                ASSERT_TRUE(QSqlQuery(holder).exec(QStringLiteral("BEGIN IMMEDIATE")));
            }
            QSignalSpy said(&keeper, &Keeper::problem);
            for (int n = 1; n <= 5; ++n) {
                RollRecord big = stepRoll(n);
                big.dice.assign(200, {20, false, std::vector<std::int32_t>(20, 7)}); // more than a page
                shown.push_back(keeper.keep(big).id);
            }
            if (!c.locked) {
                ASSERT_TRUE(QTest::qWaitFor([&] { return !said.isEmpty(); }));
            }
            keeper.finish();
            QSqlQuery(holder).exec(QStringLiteral("ROLLBACK"));
            holder.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("holder"));
        EXPECT_EQ(idsInFile(pathsIn(dir).database).size(), 3U) << "not written";
        Keeper next(pathsIn(dir));
        QSignalSpy said(&next, &Keeper::problem);
        startAndLoad(next);
        std::vector<std::uint64_t> ids = idsInFile(pathsIn(dir).database);
        ASSERT_EQ(ids.size(), 8U);
        EXPECT_EQ(std::vector<std::uint64_t>(ids.begin() + 3, ids.end()), shown);
        EXPECT_EQ(next.rows(), 8U);
        ASSERT_FALSE(said.isEmpty());
        EXPECT_TRUE(said.front().front().toString().contains(QStringLiteral("5 Würfe")))
            << said.front().front().toString().toStdString();
    }
}

// Trouble with the database is said in the window's bar, once however
// often it recurs, never in a box; the rolls stay shown, and the window
// closes as ever. Also where the database's own code cannot be loaded.
TEST(Keeper, TroubleIsSaidOnceInTheWindowAndTheWindowStillCloses)
{
    QStandardPaths::setTestModeEnabled(true);
    const QString database = Database::userPaths().database;
    const struct {
        const char* trouble;
        std::function<void()> make;
        QString said;
    } cases[] = {
        {"a folder where the database should be", [&] { ASSERT_TRUE(QDir().mkpath(database)); },
            QStringLiteral("Ordner")},
        // As the program, with no module where it looks beside this test.
        {"no module", [] { Store::makeWith({}); }, QStringLiteral("libvelmora_store.so, lässt sich nicht laden")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.trouble);
        for (const QString& part : {QString(), QStringLiteral("-wal"), QStringLiteral("-shm")}) {
            QFile::remove(database + part);
        }
        c.make();
        {
            WindowRig rig;
            QSignalSpy said(&rig.session.keeper(), &Keeper::problem);
            const int boardHeight = Board::designSize().height();
            rig.window.restoreKept();
            for (int n = 1; n <= 5; ++n) {
                rig.click(rig.step(n));
            }
            ASSERT_TRUE(QTest::qWaitFor([&] { return rig.window.board()->messageBar() != nullptr; }));
            QTest::qWait(300); // any second saying would come in this time
            EXPECT_EQ(said.count(), 1);
            EXPECT_EQ(rig.session.log().size(), 5U);
            MessageBar* bar = rig.window.board()->messageBar();
            ASSERT_EQ(bar->messages().size(), 1);
            EXPECT_TRUE(bar->messages()[0].contains(c.said)) << bar->messages()[0].toStdString();
            EXPECT_TRUE(bar->isVisible());
            EXPECT_GE(bar->y(), boardHeight) << "beneath the board, covering none of it";
            for (QWidget* top : QApplication::topLevelWidgets()) {
                EXPECT_EQ(qobject_cast<QMessageBox*>(top), nullptr);
            }
            EXPECT_TRUE(rig.window.close());
        }
        Store::makeWith(&Database::makeHere);
        QDir(database).removeRecursively();
    }
}

// The bar says trouble while it lasts: once another program lets the
// database go and the rolls are written, the message goes with it.
TEST(Keeper, TheBarGoesOnceTheRollsAreWritten)
{
    fixtures::forgetKept();
    const QString path = Database::userPaths().database;
    fill(path, 1);
    QSqlDatabase holder = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("holder"));
    holder.setDatabaseName(path);
    ASSERT_TRUE(holder.open());
    {
        WindowRig rig;
        rig.window.restoreKept();
        ASSERT_TRUE(QTest::qWaitFor([&] { return rig.session.keeper().loaded(); }));
        ASSERT_TRUE(QSqlQuery(holder).exec(QStringLiteral("BEGIN IMMEDIATE")));
        rig.click(rig.step(7));
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                return rig.window.board()->messageBar() != nullptr && rig.window.board()->messageBar()->isVisible();
            },
            10'000));
        EXPECT_TRUE(rig.window.board()->messageBar()->messages().join(' ').contains(QStringLiteral("gesperrt")));
        QSqlQuery(holder).exec(QStringLiteral("ROLLBACK"));
        EXPECT_TRUE(QTest::qWaitFor([&] { return !rig.window.board()->messageBar()->isVisible(); }, 10'000));
        EXPECT_EQ(idsInFile(path).size(), 2U);
    }
    holder.close();
    holder = QSqlDatabase();
    QSqlDatabase::removeDatabase(QStringLiteral("holder"));
}

} // namespace
} // namespace velmora
