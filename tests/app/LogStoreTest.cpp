#include "app/store/LogStore.h"

#include <QDir>
#include <QFile>
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
        log.add(talentRoll(n), std::to_string(n), static_cast<std::uint64_t>(n), n);
        ASSERT_EQ((n % 2 == 0 ? first : second).save(log), QString());
    }
    const LogStore::Loaded loaded = LogStore(path).load();
    ASSERT_EQ(loaded.rolls.size(), 40U);
    for (std::size_t i = 0; i < 40; ++i) {
        EXPECT_EQ(loaded.rolls[i].id, i + 1);
    }
}

TEST(LogStore, ARollThatCannotBeIsAnUnreadableFileKeptAside)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("log.json"));
    const QByteArray bytes = R"({"format": 1, "rolls": [{"id": "1", "when": 1, "time": "21:15:00", "step": 3,
        "karma": 0, "outcome": "sum", "total": 9, "modifier": 0,
        "dice": [{"sides": 4, "karma": false, "faces": [9]}]}]})";
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    const LogStore::Loaded loaded = LogStore(path).load();
    EXPECT_TRUE(loaded.rolls.empty());
    EXPECT_TRUE(loaded.problem.contains(QStringLiteral("Verlauf")));
    const QStringList files = QDir(dir.path()).entryList(QDir::Files);
    ASSERT_EQ(files.size(), 1);
    EXPECT_TRUE(files[0].startsWith(QStringLiteral("log.json.")));
}

} // namespace
} // namespace velmora
