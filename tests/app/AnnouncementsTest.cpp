#include "app/access/Announcements.h"
#include "app/access/Announcer.h"

#include <QTest>

#include <gtest/gtest.h>

namespace velmora {
namespace {

TEST(KarmaAnnouncement, NamesTheChosenDieOrNoKarma)
{
    const QString expected[] = {QStringLiteral("Karma +4 gewählt"), QStringLiteral("Karma +6 gewählt"),
        QStringLiteral("Karma +8 gewählt"), QStringLiteral("Karma +10 gewählt"), QStringLiteral("kein Karma")};
    for (int button = 1; button <= 5; ++button) {
        EXPECT_EQ(karmaAnnouncement(button).message, expected[button - 1]) << button;
        EXPECT_TRUE(karmaAnnouncement(button).details.isEmpty());
    }
}

// A quick run of changes is told at once, then once more when it pauses:
// a screen reader gets two updates for a burst, not one for each change,
// and never misses the last.
TEST(PacedUpdate, ABurstIsToldFirstAndOnceMoreAtItsPause)
{
    const struct {
        int requests;
        int told; // at once, before the pause
        int afterPause;
    } cases[] = {{1, 1, 1}, {2, 1, 2}, {10, 1, 2}};
    for (const auto& c : cases) {
        QObject owner;
        int told = 0;
        auto* paced = new PacedUpdate([&told] { ++told; }, &owner);
        for (int i = 0; i < c.requests; ++i) {
            paced->request();
        }
        EXPECT_EQ(told, c.told) << c.requests << " requests";
        EXPECT_TRUE(QTest::qWaitFor([&] { return told == c.afterPause; }, 5000)) << c.requests << " requests";
        QTest::qWait(2 * PacedUpdate::kPauseMilliseconds);
        EXPECT_EQ(told, c.afterPause) << c.requests << " requests";
    }
}

} // namespace
} // namespace velmora
