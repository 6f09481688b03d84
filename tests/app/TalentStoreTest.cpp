#include "app/store/TalentStore.h"

#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace velmora {
namespace {

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void write(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

TEST(TalentStore, KeepsCharactersTalentsAndTheCurrentOneAcrossARestart)
{
    QTemporaryDir dir;
    Roster roster;
    ASSERT_FALSE(roster.addCharacter("Arven"));
    ASSERT_FALSE(roster.addTalent(0, "Schwertkampf", 14));
    ASSERT_FALSE(roster.addTalent(0, "Wahrnehmung", 9));
    ASSERT_FALSE(roster.addCharacter("Brom \xC3\x96lmann"));
    ASSERT_FALSE(roster.addTalent(1, "\xC3\x84xte werfen", 40));
    roster.setCurrent(0);
    const QString path = dir.filePath(QStringLiteral("velmora/talents.json"));
    EXPECT_EQ(TalentStore(path).save(roster), QString());

    const TalentStore::Loaded loaded = TalentStore(path).load();
    EXPECT_EQ(loaded.problem, QString());
    ASSERT_EQ(loaded.roster.characters().size(), 2U);
    EXPECT_EQ(loaded.roster.current(), std::optional<std::size_t>(0));
    EXPECT_EQ(loaded.roster.characters()[1].name, "Brom \xC3\x96lmann");
    ASSERT_EQ(loaded.roster.characters()[0].talents.size(), 2U);
    EXPECT_EQ(loaded.roster.characters()[0].talents[1].name, "Wahrnehmung");
    EXPECT_EQ(loaded.roster.characters()[0].talents[1].step, 9);
    EXPECT_EQ(loaded.roster.characters()[1].talents[0].step, 40);
    // Readable by a person: the names stand in the file as written.
    EXPECT_TRUE(readAll(path).contains("\"\xC3\x84xte werfen\""));
}

// A file that is not this program's, or not this version's, is kept aside
// byte for byte, reported once, and never written over.
TEST(TalentStore, AnUnreadableFileIsKeptAsideAndNeverOverwritten)
{
    const struct {
        const char* what;
        QByteArray bytes;
    } cases[] = {
        {
            "not JSON",
            "{\"format\": 1, \"characters\": [",
        },
        {"not an object", "[1, 2]"},
        {"a step beyond 40",
            "{\"format\": 1, \"characters\": [{\"name\": \"A\", \"talents\": [{\"name\": \"T\", \"step\": 41}]}]}"},
        {"a step that is no whole number",
            "{\"format\": 1, \"characters\": [{\"name\": \"A\", \"talents\": [{\"name\": \"T\", \"step\": 14.5}]}]}"},
        {"two characters of one name",
            "{\"format\": 1, \"characters\": [{\"name\": \"A\", \"talents\": []}, {\"name\": \"a\", \"talents\": "
            "[]}]}"},
        {"a name with a line break", "{\"format\": 1, \"characters\": [{\"name\": \"A\\nB\", \"talents\": []}]}"},
    };
    for (const auto& c : cases) {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("talents.json"));
        write(path, c.bytes);
        TalentStore store(path);
        const TalentStore::Loaded loaded = store.load();
        EXPECT_TRUE(loaded.roster.characters().empty()) << c.what;
        EXPECT_FALSE(loaded.problem.isEmpty()) << c.what;
        const QStringList files = QDir(dir.path()).entryList(QDir::Files);
        ASSERT_EQ(files.size(), 1) << c.what;
        EXPECT_NE(files[0], QStringLiteral("talents.json")) << c.what;
        EXPECT_EQ(readAll(dir.filePath(files[0])), c.bytes) << c.what;
        EXPECT_TRUE(loaded.problem.contains(files[0])) << c.what << ": " << loaded.problem.toStdString();
        // What the player makes now goes to a new file beside it.
        Roster roster;
        ASSERT_FALSE(roster.addCharacter("Arven"));
        EXPECT_EQ(store.save(roster), QString()) << c.what;
        EXPECT_EQ(readAll(dir.filePath(files[0])), c.bytes) << c.what;
        EXPECT_EQ(TalentStore(path).load().roster.characters().size(), 1U) << c.what;
    }
}

// Two programs, each with the talents as it read them at its start: each
// change is made to the file as it is now, so neither loses the other's.
TEST(TalentStore, TwoProgramsLoseNeithersChanges)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("talents.json"));
    Roster start;
    ASSERT_FALSE(start.addCharacter("Arven"));
    ASSERT_EQ(TalentStore(path).save(start), QString());
    TalentStore first(path);
    TalentStore second(path);
    Roster mine = first.load().roster;
    Roster theirs = second.load().roster;
    EXPECT_EQ(first.update(mine, [](Roster& r) { return r.addTalent(0, "Schwertkampf", 14); }), QString());
    EXPECT_EQ(second.update(theirs, [](Roster& r) { return r.addTalent(0, "Wahrnehmung", 9); }), QString());
    // A change that the file's state refuses is said, and not made.
    EXPECT_FALSE(first.update(mine, [](Roster& r) { return r.addTalent(0, "wahrnehmung", 3); }).isEmpty());
    const Roster kept = TalentStore(path).load().roster;
    ASSERT_EQ(kept.characters().size(), 1U);
    ASSERT_EQ(kept.characters()[0].talents.size(), 2U);
    EXPECT_EQ(kept.characters()[0].talents[0].name, "Schwertkampf");
    EXPECT_EQ(kept.characters()[0].talents[1].name, "Wahrnehmung");
    EXPECT_EQ(mine.characters()[0].talents.size(), 2U) << "the program took in the other's change";
}

// While another program holds the lock, a change stays in memory, and the
// file is left as it was.
TEST(TalentStore, AChangeWhileAnotherProgramWritesStaysInMemory)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("talents.json"));
    Roster roster;
    ASSERT_FALSE(roster.addCharacter("Arven"));
    ASSERT_EQ(TalentStore(path).save(roster), QString());
    const QByteArray before = readAll(path);
    QLockFile other(path + QStringLiteral(".lock"));
    ASSERT_TRUE(other.tryLock(0));
    EXPECT_FALSE(
        TalentStore(path).update(roster, [](Roster& r) { return r.addTalent(0, "Schwertkampf", 14); }).isEmpty());
    EXPECT_EQ(roster.characters()[0].talents.size(), 1U);
    EXPECT_EQ(readAll(path), before);
}

TEST(TalentStore, AFolderThatCannotBeWrittenIsReportedNotIgnored)
{
    QTemporaryDir dir;
    // A file where the folder should be: no user, root included, can write there.
    write(dir.filePath(QStringLiteral("velmora")), "not a folder");
    TalentStore store(dir.filePath(QStringLiteral("velmora/talents.json")));
    Roster roster;
    ASSERT_FALSE(roster.addCharacter("Arven"));
    EXPECT_FALSE(store.save(roster).isEmpty());
    EXPECT_EQ(readAll(dir.filePath(QStringLiteral("velmora"))), QByteArray("not a folder"));
}

} // namespace
} // namespace velmora
