#include "app/store/Database.h"

#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>

namespace velmora {
namespace {

RollLog::Entry roll(int n)
{
    RollLog::Entry entry;
    entry.id = 0x8000000000000000ULL + static_cast<unsigned>(n); // beyond a signed integer's range
    entry.when = 1'765'000'000'000 + n;
    entry.time = "21:15:" + std::to_string(10 + n % 50);
    RollRecord& r = entry.roll;
    r.step = n % 40 + 1;
    r.karmaLevel = n % 5;
    r.dice = {{20, false, {20, 7}}, {6, n % 5 != 0, {n % 6 + 1}}};
    r.outcome = n % 3 == 0 ? RollRecord::Outcome::Error : RollRecord::Outcome::Sum;
    if (n % 3 == 0) {
        r.error = RollError::Kind::Overflow;
    }
    r.total = 27 + n % 6 + 1;
    r.modifier = -(n % 2);
    if (n % 2 == 0) {
        r.character = "Arven";
        r.talent = "Schwertkampf \xC3\xBC" + std::to_string(n);
    }
    return entry;
}

void expectSame(const RollLog::Entry& got, const RollLog::Entry& want)
{
    EXPECT_EQ(std::tie(got.id, got.when, got.time), std::tie(want.id, want.when, want.time));
    const RollRecord& a = got.roll;
    const RollRecord& b = want.roll;
    EXPECT_EQ(std::tie(a.step, a.karmaLevel, a.outcome, a.total, a.modifier, a.error, a.character, a.talent),
        std::tie(b.step, b.karmaLevel, b.outcome, b.total, b.modifier, b.error, b.character, b.talent));
    ASSERT_EQ(a.dice.size(), b.dice.size());
    for (std::size_t d = 0; d < a.dice.size(); ++d) {
        EXPECT_EQ(std::tie(a.dice[d].sides, a.dice[d].karma, a.dice[d].faces),
            std::tie(b.dice[d].sides, b.dice[d].karma, b.dice[d].faces));
    }
}

Database::Paths pathsIn(const QTemporaryDir& dir)
{
    return {dir.filePath(QStringLiteral("data/velmora.sqlite")), dir.filePath(QStringLiteral("data/log.json")),
        dir.filePath(QStringLiteral("config/talents.json")), dir.filePath(QStringLiteral("config/velmora.conf"))};
}

QByteArray bytesOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void write(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

// Another program's connection to the same file.
struct OtherConnection {
    explicit OtherConnection(const QString& path)
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("other"));
        db.setDatabaseName(path);
        db.open();
    }
    ~OtherConnection() { QSqlDatabase::removeDatabase(QStringLiteral("other")); }
    bool run(const QString& sql) const
    {
        QSqlQuery query(QSqlDatabase::database(QStringLiteral("other")));
        return query.exec(sql);
    }
    qint64 count(const QString& table) const
    {
        QSqlQuery query(QSqlDatabase::database(QStringLiteral("other")));
        return query.exec(QStringLiteral("SELECT count(*) FROM ") + table) && query.next() ? query.value(0).toLongLong()
                                                                                           : -1;
    }
};

Database::Fault add(Database& db, const RollLog::Entry& entry)
{
    Store::Changes changes;
    changes.added.push_back(entry);
    return db.write({changes});
}

// Every roll in the database, oldest first, read a page at a time as a view reads them.
std::vector<RollLog::Entry> everyRoll(Database& db, int* skipped = nullptr, Store::Fault* fault = nullptr)
{
    std::vector<RollLog::Entry> all;
    Store::Page page = db.rolls(300, false);
    for (int pages = 0; pages < 100'000; ++pages) {
        all.insert(all.end(), page.rolls.begin(), page.rolls.end());
        if (skipped != nullptr) {
            *skipped += page.skipped;
        }
        if (fault != nullptr) {
            *fault = page.fault;
        }
        if (!page.more || page.fault != Store::Fault::None) {
            break;
        }
        page = db.rolls(300, true);
    }
    std::reverse(all.begin(), all.end());
    return all;
}

TEST(Database, KeepsEveryRollAndTheTalentsAcrossAReopening)
{
    QTemporaryDir dir;
    std::vector<RollLog::Entry> rolled;
    {
        Database db(pathsIn(dir));
        ASSERT_EQ(db.open().fault, Database::Fault::None);
        for (int n = 1; n <= 1003; ++n) {
            rolled.push_back(roll(n));
            if (n > 1000) {
                rolled.back().when -= 86'400'000; // the clock set back a day: never a reason to drop a roll
            }
            ASSERT_EQ(add(db, rolled.back()), Database::Fault::None) << n;
        }
        std::stable_sort(rolled.begin(), rolled.end(), [](const auto& a, const auto& b) { return a.when < b.when; });
        // Kept once, however often it is written.
        ASSERT_EQ(add(db, rolled.back()), Database::Fault::None);
        const auto changed = db.changeTalents([](Roster& r) {
            const Refusal a = r.addCharacter("Arven");
            const Refusal b = r.addTalent(0, "Wahrnehmung", 9);
            const Refusal c = r.addCharacter("Bryn");
            r.setCurrent(0);
            return a ? a : b ? b : c;
        });
        ASSERT_EQ(changed.fault, Database::Fault::None);
        ASSERT_FALSE(changed.refusal);
    }
    Database db(pathsIn(dir));
    ASSERT_EQ(db.open().fault, Database::Fault::None);
    EXPECT_EQ(db.rolls(10, false).total, 1003);
    int skipped = 0;
    const std::vector<RollLog::Entry> kept = everyRoll(db, &skipped);
    EXPECT_EQ(skipped, 0);
    ASSERT_EQ(kept.size(), rolled.size());
    for (std::size_t i = 0; i < kept.size(); ++i) {
        expectSame(kept[i], rolled[i]);
    }
    const Database::Talents talents = db.talents();
    ASSERT_EQ(talents.roster.characters().size(), 2U);
    EXPECT_EQ(talents.roster.characters()[0].talents.at(0).name, "Wahrnehmung");
    EXPECT_EQ(talents.roster.characters()[0].talents.at(0).step, 9);
    EXPECT_EQ(talents.roster.current(), 0U) << "the current character, not the last made";
}

// Each way the database can fail a write: the fault is named by its real
// cause, nothing already kept is lost, and once the cause is gone the same
// roll is written.
TEST(Database, AFailedWriteNamesItsCauseLosesNothingAndSucceedsOnceTheCauseIsGone)
{
    const struct {
        const char* what;
        QStringList pragmas;
        bool otherHoldsTheLock;
        Database::Fault fault;
        bool deletingFails; // on a full disk, deleting is what makes room
    } cases[] = {
        {"a full disk", {QStringLiteral("max_page_count = 1")}, false, Database::Fault::Full, false},
        {"no permission to write", {QStringLiteral("query_only = 1")}, false, Database::Fault::NoPermission, true},
        {"another program's write transaction", {QStringLiteral("busy_timeout = 100")}, true, Database::Fault::Busy,
            true},
    };
    for (const auto& c : cases) {
        QTemporaryDir dir;
        {
            Database db(pathsIn(dir));
            ASSERT_EQ(db.open().fault, Database::Fault::None);
            for (int n = 1; n <= 40; ++n) {
                ASSERT_EQ(add(db, roll(n)), Database::Fault::None);
            }
        }
        Database db(pathsIn(dir), c.pragmas);
        ASSERT_EQ(db.open().fault, Database::Fault::None) << c.what;
        {
            OtherConnection other(pathsIn(dir).database);
            if (c.otherHoldsTheLock) {
                ASSERT_TRUE(other.run(QStringLiteral("BEGIN IMMEDIATE")));
            }
            RollLog::Entry big = roll(41);
            big.roll.dice.assign(200, {20, false, std::vector<std::int32_t>(20, 7)}); // more than a page
            EXPECT_EQ(add(db, big), c.fault) << c.what;
            if (c.deletingFails) {
                Store::Changes deleting;
                deleting.removed = {roll(1).id};
                EXPECT_EQ(db.write({deleting}), c.fault) << c.what;
            }
            EXPECT_EQ(everyRoll(db).size(), 40U) << c.what << ": nothing lost";
        }
        Database freed(pathsIn(dir));
        ASSERT_EQ(freed.open().fault, Database::Fault::None) << c.what;
        EXPECT_EQ(add(freed, roll(41)), Database::Fault::None) << c.what;
        EXPECT_EQ(everyRoll(freed).size(), 41U) << c.what;
    }
}

// What the database cannot hold as its own: a damaged one is kept aside
// byte for byte and a new one started; a newer Velmora's is left as it is.
TEST(Database, ADamagedDatabaseIsKeptAsideAndANewerOneLeftUntouched)
{
    const auto validDatabase = [](const QTemporaryDir& dir) {
        Database db(pathsIn(dir));
        EXPECT_EQ(db.open().fault, Database::Fault::None);
        for (int n = 1; n <= 200; ++n) {
            EXPECT_EQ(add(db, roll(n)), Database::Fault::None);
        }
        db.close();
        return bytesOf(pathsIn(dir).database);
    };
    const struct {
        const char* what;
        std::function<void(const QTemporaryDir&)> spoil;
        bool keptAside;
        Database::Fault fault;
    } cases[] = {
        {"not SQLite at all",
            [](const QTemporaryDir& dir) {
                write(pathsIn(dir).database, QByteArray("{\"format\": 1, \"rolls\": []}").repeated(200));
            },
            true, Database::Fault::None},
        {"a page of the rolls overwritten",
            [&](const QTemporaryDir& dir) {
                QByteArray bytes = validDatabase(dir);
                // The page that holds the 100th roll, past its header.
                const qsizetype page = bytes.indexOf("Schwertkampf \xC3\xBC"
                                                     "100")
                    / 4096 * 4096;
                ASSERT_GT(page, 0);
                bytes.replace(page + 8, 2000, QByteArray(2000, '\xa5'));
                write(pathsIn(dir).database, bytes);
            },
            true, Database::Fault::None},
        {"a newer schema",
            [&](const QTemporaryDir& dir) {
                validDatabase(dir);
                OtherConnection(pathsIn(dir).database).run(QStringLiteral("PRAGMA user_version = 2"));
            },
            false, Database::Fault::Newer},
    };
    for (const auto& c : cases) {
        QTemporaryDir dir;
        c.spoil(dir);
        const QString path = pathsIn(dir).database;
        const QByteArray before = bytesOf(path);
        Database db(pathsIn(dir));
        Database::Opened opened = db.open();
        int salvaged = -1;
        Store::Fault reading = Store::Fault::None;
        if (opened.fault == Database::Fault::None
            && (everyRoll(db, nullptr, &reading), reading == Store::Fault::Damaged)) {
            // Found as its rolls are read: kept aside at the next opening,
            // as the keeper opens it again, with every roll that can be read.
            opened = db.open();
            salvaged = static_cast<int>(everyRoll(db).size());
        }
        EXPECT_EQ(opened.fault, c.fault) << c.what;
        const QStringList aside =
            QDir(QFileInfo(path).absolutePath()).entryList({QStringLiteral("velmora.sqlite.unlesbar-*")});
        if (c.keptAside) {
            ASSERT_EQ(aside.size(), 1) << c.what;
            EXPECT_EQ(bytesOf(QFileInfo(path).absolutePath() + QLatin1Char('/') + aside[0]), before) << c.what;
            ASSERT_EQ(opened.notes.size(), 1) << c.what;
            EXPECT_TRUE(opened.notes[0].contains(aside[0])) << opened.notes[0].toStdString();
            EXPECT_EQ(add(db, roll(1)), Database::Fault::None) << c.what << ": a new one in its place";
            if (salvaged >= 0) {
                EXPECT_GT(salvaged, 100) << c.what << ": the rolls on other pages are taken in";
            }
        } else {
            EXPECT_TRUE(aside.isEmpty()) << c.what;
            EXPECT_FALSE(db.isOpen()) << c.what;
            EXPECT_EQ(bytesOf(path), before) << c.what;
        }
    }
}

// Rows that the rules refuse, written by hand or by a faulty program, are
// skipped one by one; the rolls around them stay.
TEST(Database, RowsThatTheRulesRefuseAreSkippedOneByOne)
{
    QTemporaryDir dir;
    Database db(pathsIn(dir));
    ASSERT_EQ(db.open().fault, Database::Fault::None);
    ASSERT_EQ(add(db, roll(1)), Database::Fault::None);
    ASSERT_EQ(add(db, roll(2)), Database::Fault::None);
    const QString insert = QStringLiteral(
        "INSERT INTO rolls (id, rolled_at, time, step, karma, outcome, total, modifier, error, character, talent, "
        "dice) VALUES (%1, 1765000000999, '21:15:11', 3, 0, 'sum', 9, 0, NULL, '', '', '[{\"sides\":4,\"karma\":"
        "false,\"faces\":[4,1]}]')");
    const struct {
        const char* what;
        const char* from;
        const char* to;
    } bad[] = {
        {"step 41", ", 3, 0, 'sum'", ", 41, 0, 'sum'"},
        {"a face 0", "[4,1]", "[4,0]"},
        {"a face beyond its die", "[4,1]", "[9]"},
        {"hour 24", "'21:15:11'", "'24:15:11'"},
        {"an untrimmed name", "'', '', '[", "'Arven', ' Schwertkampf', '["},
        {"a character without a talent", "'', '', '[", "'Arven', '', '["},
        {"a step that is text", ", 3, 0, 'sum'", ", 'drei', 0, 'sum'"},
        {"an unknown outcome", "'sum'", "'gremlins'"},
        {"dice that are no JSON", "'[{", "'[{]"},
        {"a sum no dice make", ", 9, 0, NULL", ", -9223372036854775808, 0, NULL"},
        {"a date past the year 9999", "1765000000999", "9223372036854775807"},
    };
    OtherConnection other(pathsIn(dir).database);
    int id = 100;
    for (const auto& b : bad) {
        ASSERT_TRUE(other.run(QString(insert.arg(++id)).replace(QLatin1String(b.from), QLatin1String(b.to)))) << b.what;
    }
    ASSERT_TRUE(other.run(insert.arg(++id))) << "and one sound roll after them";
    int skipped = 0;
    const std::vector<RollLog::Entry> rolls = everyRoll(db, &skipped);
    EXPECT_EQ(skipped, static_cast<int>(std::size(bad)));
    ASSERT_EQ(rolls.size(), 3U);
    EXPECT_EQ(rolls.back().id, static_cast<std::uint64_t>(id));

    ASSERT_TRUE(other.run(QStringLiteral("INSERT INTO characters (position, name) VALUES (0, 'Arven'), (1, ''), "
                                         "(2, 'ARVEN')")));
    ASSERT_TRUE(other.run(QStringLiteral("INSERT INTO talents (character, position, name, step) VALUES (0, 0, "
                                         "'Wahrnehmung', 9), (0, 1, 'Schwimmen', 0), (0, 2, 'wahrnehmung', 3), "
                                         "(1, 0, 'Reiten', 5)")));
    const Database::Talents talents = db.talents();
    EXPECT_EQ(talents.skipped, 5) << "two characters, one talent beyond the steps, one twice, one of nobody";
    ASSERT_EQ(talents.roster.characters().size(), 1U);
    EXPECT_EQ(talents.roster.characters()[0].talents.size(), 1U);
}

// The files of the version before: taken in once, whole, with their bad
// entries skipped one by one; renamed, never deleted; a damaged one kept
// aside as before.
TEST(Database, TheFilesOfTheVersionBeforeAreTakenInOnce)
{
    const QByteArray goodRoll = R"({"id": "8000000000000001", "when": 1765000000001, "time": "21:15:11",
        "step": 3, "karma": 1, "outcome": "sum", "total": 9, "modifier": 0, "character": "Arven",
        "talent": "Wahrnehmung", "dice": [{"sides": 4, "karma": false, "faces": [4, 1]},
        {"sides": 4, "karma": true, "faces": [4, 4, 2]}]})";
    QByteArray badRoll = goodRoll;
    badRoll.replace(R"("step": 3)", R"("step": 41)");
    QByteArray sameId = goodRoll;
    sameId.replace("21:15:11", "21:15:12");
    const QByteArray log = R"({"format": 1, "rolls": [)" + goodRoll + "," + badRoll + "," + sameId + "]}";
    const QByteArray talents = R"({"format": 1, "current": "Bryn", "characters": [
        {"name": "Arven", "talents": [{"name": "Wahrnehmung", "step": 9}, {"name": "Fliegen", "step": 99}]},
        {"name": "Bryn", "talents": []}]})";
    const struct {
        const char* what;
        QByteArray log;
        int rolls;
        const char* logBecomes;
        const char* noteSays;
    } cases[] = {
        {"both files sound but for two entries", log, 2, "log.json.importiert", "übergangen"},
        {"a damaged log", log.left(log.size() / 2), 0, "log.json.unlesbar-", "beschädigt"},
        {"a newer Velmora's log", QByteArray(log).replace(R"("format": 1)", R"("format": 2)"), 0, "log.json", "neuere"},
        // Sound, but a hundred times what a log of a thousand rolls was:
        // read whole, it took ten times its size in memory.
        {"a log too large to be one", log + QByteArray(9 << 20, ' '), 0, "log.json", "zu groß"},
    };
    for (const auto& c : cases) {
        QTemporaryDir dir;
        const Database::Paths paths = pathsIn(dir);
        write(paths.logFile, c.log);
        write(paths.talentsFile, talents);
        {
            Database db(paths);
            const Database::Opened opened = db.open();
            ASSERT_EQ(opened.fault, Database::Fault::None) << c.what;
            EXPECT_TRUE(opened.notes.join(QLatin1Char(' ')).contains(QString::fromUtf8(c.noteSays)))
                << c.what << ": " << opened.notes.join(QLatin1Char(' ')).toStdString();
            const std::vector<RollLog::Entry> rolls = everyRoll(db);
            ASSERT_EQ(rolls.size(), static_cast<std::size_t>(c.rolls)) << c.what;
            if (c.rolls == 2) {
                EXPECT_EQ(rolls[0].roll.talent, "Wahrnehmung");
                EXPECT_EQ(rolls[0].roll.dice.at(1).faces, (std::vector<std::int32_t>{4, 4, 2}));
                EXPECT_NE(rolls[0].id, rolls[1].id) << "a second roll with one id is kept too";
                EXPECT_EQ(rolls[1].time, "21:15:12");
            }
            const Database::Talents kept = db.talents();
            ASSERT_EQ(kept.roster.characters().size(), 2U) << c.what;
            EXPECT_EQ(kept.roster.characters()[0].talents.size(), 1U) << c.what;
            EXPECT_EQ(kept.roster.current(), 1U) << c.what;
        }
        const QStringList files = QDir(QFileInfo(paths.logFile).absolutePath()).entryList(QDir::Files);
        EXPECT_EQ(files.filter(QString::fromUtf8(c.logBecomes)).size(), 1)
            << c.what << ": " << files.join(' ').toStdString();
        EXPECT_TRUE(QFileInfo::exists(paths.talentsFile + QStringLiteral(".importiert"))) << c.what;
        // Once: a second opening takes nothing in again.
        write(paths.talentsFile, talents);
        Database again(paths);
        ASSERT_EQ(again.open().fault, Database::Fault::None);
        EXPECT_EQ(everyRoll(again).size(), static_cast<std::size_t>(c.rolls)) << c.what;
        EXPECT_TRUE(QFileInfo::exists(paths.talentsFile)) << c.what << ": left where it is";
    }
}

// A table, a column or an index dropped by hand is made again at the next
// opening, and the rolls and talents go on being kept.
TEST(Database, WhatWasDroppedByHandIsMadeAgain)
{
    const char* dropped[] = {"DROP TABLE rolls", "ALTER TABLE rolls DROP COLUMN talent", "DROP TABLE characters",
        "DROP TABLE talents", "DROP INDEX rolls_in_order", "ALTER TABLE rolls DROP COLUMN time",
        "DROP INDEX rolls_cleared"};
    for (const char* drop : dropped) {
        QTemporaryDir dir;
        {
            Database db(pathsIn(dir));
            ASSERT_EQ(db.open().fault, Database::Fault::None);
            ASSERT_EQ(add(db, roll(2)), Database::Fault::None);
        }
        ASSERT_TRUE(OtherConnection(pathsIn(dir).database).run(QString::fromLatin1(drop))) << drop;
        Database db(pathsIn(dir));
        ASSERT_EQ(db.open().fault, Database::Fault::None) << drop;
        ASSERT_EQ(add(db, roll(4)), Database::Fault::None) << drop;
        const std::vector<RollLog::Entry> kept = everyRoll(db);
        ASSERT_FALSE(kept.empty()) << drop;
        expectSame(kept.back(), roll(4));
        ASSERT_EQ(add(db, roll(4)), Database::Fault::None) << drop;
        EXPECT_EQ(everyRoll(db).size(), kept.size()) << drop << ": a roll still kept once";
        const auto changed = db.changeTalents([](Roster& r) { return r.addCharacter("Arven"); });
        EXPECT_EQ(changed.fault, Database::Fault::None) << drop;
        EXPECT_EQ(db.talents().roster.characters().size(), 1U) << drop;
    }
}

// Rows of the talents that the rules cannot read are moved aside whole when
// the talents are next written, never deleted; a fault while reading them
// writes nothing.
TEST(Database, UnreadableTalentsAreSetAsideAndAReadFaultWritesNothing)
{
    QTemporaryDir dir;
    Database db(pathsIn(dir));
    ASSERT_EQ(db.open().fault, Database::Fault::None);
    {
        OtherConnection other(pathsIn(dir).database);
        ASSERT_TRUE(other.run(QStringLiteral("INSERT INTO characters (position, name) VALUES (0, 'Arven'), (1, '')")));
        ASSERT_TRUE(other.run(QStringLiteral("INSERT INTO talents (character, position, name, step) VALUES (0, 0, "
                                             "'Wahrnehmung', 9), (0, 1, 'Fliegen', 41), (0, 2, 'Reiten', 'fünf'), "
                                             "(1, 0, 'Schwimmen', 5)")));
        const auto changed = db.changeTalents([](Roster& r) { return r.addTalent(0, "Klettern", 7); });
        ASSERT_EQ(changed.fault, Database::Fault::None);
        EXPECT_EQ(other.count(QStringLiteral("set_aside")), 4) << "one character and three talents";
        EXPECT_EQ(other.count(QStringLiteral("talents")), 2);
        ASSERT_EQ(db.talents().roster.characters().at(0).talents.size(), 2U);
        // Many characters, then one page of them overwritten: a change fails whole.
        for (int c = 1; c < 200; ++c) {
            ASSERT_TRUE(other.run(QStringLiteral("INSERT INTO characters (position, name) VALUES (%1, 'Charakter %1 "
                                                 "mit einem Namen, der Platz braucht')")
                                      .arg(c + 10)));
        }
    }
    db.close();
    QByteArray bytes = bytesOf(pathsIn(dir).database);
    const qsizetype page = bytes.indexOf("Charakter 150 ") / 4096 * 4096;
    ASSERT_GT(page, 0);
    bytes.replace(page + 8, 2000, QByteArray(2000, '\xa5'));
    write(pathsIn(dir).database, bytes);
    Database damaged(pathsIn(dir));
    ASSERT_EQ(damaged.open().fault, Database::Fault::None);
    EXPECT_EQ(damaged.talents().fault, Database::Fault::Damaged) << "a roster read in part is no roster";
    EXPECT_NE(damaged.changeTalents([](Roster& r) { return r.addCharacter("Bryn"); }).fault, Database::Fault::None)
        << "a roster read in part must not be written back";
}

// What could not be written is kept beside the database, and the next
// opening takes it in, rolls and deletions, once.
TEST(Database, WhatCouldNotBeWrittenIsTakenInAtTheNextOpening)
{
    QTemporaryDir dir;
    {
        Database db(pathsIn(dir));
        ASSERT_EQ(db.open().fault, Database::Fault::None);
        ASSERT_EQ(add(db, roll(1)), Database::Fault::None);
        ASSERT_EQ(add(db, roll(2)), Database::Fault::None);
        Store::Changes unwritten;
        unwritten.added = {roll(3), roll(4), roll(5)};
        unwritten.added[0].roll.talent = "Schwert, \"Kampf\"";
        unwritten.added[0].roll.character = "Arven";
        unwritten.removed = {roll(1).id};
        ASSERT_EQ(db.keepUnwritten({unwritten}), Database::Fault::None);
    }
    const QDir folder = QFileInfo(pathsIn(dir).database).dir();
    ASSERT_EQ(folder.entryList({QStringLiteral("velmora.sqlite.ungespeichert*")}).size(), 1);
    for (int opening = 1; opening <= 2; ++opening) {
        Database db(pathsIn(dir));
        const Database::Opened opened = db.open();
        ASSERT_EQ(opened.fault, Database::Fault::None);
        EXPECT_EQ(opened.notes.join(' ').contains(QStringLiteral("3 Würfe")), opening == 1)
            << opened.notes.join(' ').toStdString();
        const std::vector<RollLog::Entry> kept = everyRoll(db);
        ASSERT_EQ(kept.size(), 4U) << opening;
        expectSame(kept[0], roll(2));
        EXPECT_EQ(kept[1].roll.talent, "Schwert, \"Kampf\"");
        EXPECT_TRUE(folder.entryList({QStringLiteral("velmora.sqlite.ungespeichert*")}).isEmpty());
    }
    // However large: a long evening under a lock is this program's own,
    // not an earlier version's file of a thousand rolls.
    {
        Database db(pathsIn(dir));
        ASSERT_EQ(db.open().fault, Database::Fault::None);
        Store::Changes unwritten;
        for (int n = 10; n < 40'010; ++n) {
            unwritten.added.push_back(roll(n));
        }
        ASSERT_EQ(db.keepUnwritten({unwritten}), Database::Fault::None);
    }
    const QFileInfoList journals = folder.entryInfoList({QStringLiteral("velmora.sqlite.ungespeichert*")});
    ASSERT_EQ(journals.size(), 1);
    EXPECT_GT(journals.front().size(), 8 << 20);
    Database db(pathsIn(dir));
    ASSERT_EQ(db.open().fault, Database::Fault::None);
    EXPECT_EQ(everyRoll(db).size(), 40'004U);
}

} // namespace
} // namespace velmora
