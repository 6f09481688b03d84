#include "WindowRig.h"

#include "app/store/Database.h"
#include "app/store/Keeper.h"
#include "app/window/MessageBar.h"

#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

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

Database::Paths pathsIn(const QTemporaryDir& dir) { return {dir.filePath(QStringLiteral("velmora.sqlite")), {}, {}}; }

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
            query.exec(QStringLiteral("SELECT id FROM rolls ORDER BY rolled_at, seq"));
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

} // namespace
} // namespace velmora
