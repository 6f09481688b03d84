#include "app/store/LogStore.h"

#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <string>
#include <tuple>

namespace velmora {
namespace {

RollRecord talentRoll(int n)
{
    RollRecord roll;
    roll.step = n % 40 + 1;
    roll.karmaLevel = n % 5;
    roll.dice = {{20, false, {20, 7}}, {6, n % 5 != 0, {n % 6 + 1}}};
    roll.outcome = n % 3 == 0 ? RollRecord::Outcome::Error : RollRecord::Outcome::Sum;
    if (n % 3 == 0) {
        roll.error = RollError::Kind::Overflow;
    }
    roll.total = 27 + n % 6 + 1;
    roll.modifier = -(n % 2);
    if (n % 2 == 0) {
        roll.character = "Arven";
        roll.talent = "Schwertkampf \xC3\xBC" + std::to_string(n);
    }
    return roll;
}

void expectSame(const RollLog::Entry& got, const RollLog::Entry& want)
{
    EXPECT_EQ(got.id, want.id);
    EXPECT_EQ(got.when, want.when);
    EXPECT_EQ(got.time, want.time);
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

TEST(LogStore, KeepsEveryRollWithItsNamesAcrossARestart)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("data/log.json"));
    RollLog log;
    for (int n = 1; n <= 12; ++n) {
        log.add(talentRoll(n), "21:15:" + std::to_string(10 + n), 0x8000000000000000ULL + static_cast<unsigned>(n),
            1'765'000'000'000 + n);
    }
    ASSERT_EQ(LogStore(path).save(log), QString());
    const LogStore::Loaded loaded = LogStore(path).load();
    EXPECT_EQ(loaded.problem, QString());
    ASSERT_EQ(loaded.rolls.size(), log.size());
    for (std::size_t i = 0; i < log.size(); ++i) {
        expectSame(loaded.rolls[i], log[i]);
    }
}

// Two programs at once, each saving after its own rolls: the file holds
// every roll of both, in the order they were rolled.
TEST(LogStore, TwoProgramsLoseNeithersRolls)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("log.json"));
    LogStore first(path);
    LogStore second(path);
    RollLog firstLog;
    RollLog secondLog;
    for (int n = 1; n <= 40; ++n) {
        RollLog& log = n % 2 == 0 ? firstLog : secondLog;
        log.add(talentRoll(n), "21:15:" + std::to_string(10 + n), static_cast<std::uint64_t>(n), n);
        ASSERT_EQ((n % 2 == 0 ? first : second).save(log), QString());
    }
    const LogStore::Loaded loaded = LogStore(path).load();
    ASSERT_EQ(loaded.rolls.size(), 40U);
    for (std::size_t i = 0; i < 40; ++i) {
        EXPECT_EQ(loaded.rolls[i].id, i + 1);
    }
}

// While another program holds the lock, nothing is written, and saying so
// is not left out.
TEST(LogStore, WhileAnotherProgramWritesTheFileIsLeftAndThatIsSaid)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("log.json"));
    RollLog log;
    log.add(talentRoll(2), "21:15:00", 1, 1);
    ASSERT_EQ(LogStore(path).save(log), QString());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray before = file.readAll();
    file.close();
    QLockFile other(path + QStringLiteral(".lock"));
    ASSERT_TRUE(other.tryLock(0));
    log.add(talentRoll(4), "21:15:01", 2, 2);
    EXPECT_FALSE(LogStore(path).save(log).isEmpty());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), before);
}

// A roll that the log cannot hold as it stands makes the file unreadable:
// kept aside byte for byte, said, never written over.
TEST(LogStore, ARollThatCannotBeIsAnUnreadableFileKeptAside)
{
    const auto file = [](const char* roll) {
        return QByteArray(R"({"format": 1, "rolls": [{"id": "1f", "when": 1, "time": "21:15:00", "step": 3,
            "karma": 0, "outcome": "sum", "total": 9, "modifier": 0,
            "dice": [{"sides": 4, "karma": false, "faces": [4, 4, 1]}])")
            + roll + "}]}";
    };
    const struct {
        const char* what;
        QByteArray bytes;
    } cases[] = {
        {"a face beyond its die", QByteArray(file("")).replace("[4, 4, 1]", "[9]")},
        {"the id 0", QByteArray(file("")).replace(R"("id": "1f")", R"("id": "0")")},
        {"a total of 1e300", QByteArray(file("")).replace(R"("total": 9)", R"("total": 1e300)")},
        {"a step of 14.5", QByteArray(file("")).replace(R"("step": 3)", R"("step": 14.5)")},
        {"a time that is none", QByteArray(file("")).replace("21:15:00", "21:15:00 und mehr")},
        {"an unknown error", file(R"(, "error": "gremlins")")},
        {"a character without a talent", file(R"(, "character": "Arven")")},
        {"a talent with a line break", file(R"(, "character": "Arven", "talent": "Schwert
kampf")")},
        {"a newer format", QByteArray(file("")).replace(R"("format": 1)", R"("format": 2)")},
    };
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("log.json"));
        QFile good(path);
        ASSERT_TRUE(good.open(QIODevice::WriteOnly));
        good.write(file(R"(, "character": "Arven", "talent": "Schwertkampf")"));
        good.close();
        ASSERT_EQ(LogStore(path).load().rolls.size(), 1U) << "the well-formed roll the cases spoil";
    }
    for (const auto& c : cases) {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("log.json"));
        {
            QFile bad(path);
            ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
            bad.write(c.bytes);
        }
        LogStore store(path);
        const LogStore::Loaded loaded = store.load();
        EXPECT_TRUE(loaded.rolls.empty()) << c.what;
        EXPECT_TRUE(loaded.problem.contains(QStringLiteral("Verlauf"))) << c.what;
        // Written over by nothing: the roll log goes to a new file, or,
        // for a newer Velmora's, nowhere.
        RollLog log;
        log.add(talentRoll(2), "21:16:00", 7, 2);
        store.save(log);
        const QStringList files = QDir(dir.path()).entryList(QDir::Files);
        const bool newer = QByteArray(c.what) == "a newer format";
        const QString kept = newer ? QStringLiteral("log.json") : files.filter(QStringLiteral("unlesbar")).value(0);
        ASSERT_FALSE(kept.isEmpty()) << c.what << ": " << files.join(QLatin1Char(' ')).toStdString();
        QFile aside(dir.filePath(kept));
        ASSERT_TRUE(aside.open(QIODevice::ReadOnly));
        EXPECT_EQ(aside.readAll(), c.bytes) << c.what;
    }
}

} // namespace
} // namespace velmora
