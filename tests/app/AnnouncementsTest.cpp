#include "app/access/Announcements.h"

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

} // namespace
} // namespace velmora
