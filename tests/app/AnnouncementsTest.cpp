#include "app/Announcements.h"
#include "dice/DiceEngine.h"
#include "transcript/TranscriptText.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace velmora {
namespace {

struct RollCase {
    const char* name;
    std::vector<std::string> prints;
    QString message;
    QString details;
};

class RollAnnouncement : public ::testing::TestWithParam<RollCase> {};

TEST_P(RollAnnouncement, SaysTheResultFirstThenTheWholeRollInSentences)
{
    TranscriptModel transcript;
    for (const std::string& text : GetParam().prints) {
        transcript.print(text);
    }
    const Announcement said = rollAnnouncement(transcript);
    EXPECT_EQ(said.message, GetParam().message);
    EXPECT_EQ(said.details, GetParam().details);
}

INSTANTIATE_TEST_SUITE_P(Rolls, RollAnnouncement,
    ::testing::Values(
        RollCase{"Sum",
            {text::dieLine(10, 7), text::dieLine(6, 3), text::sumLine(10, 0)},
            QStringLiteral("Die Summe lautet: 10"),
            QStringLiteral("Ein D10 wird gewürfelt: 7. Ein D6 wird gewürfelt: 3. Die Summe lautet: 10")},
        RollCase{"RerollAndModifier",
            {text::dieLine(4, 4), text::rerollNotice(DiceEngine::br()), text::dieLine(4, 1),
                text::sumLine(5, 2)},
            QStringLiteral("Die Summe lautet: 3 (5-2)"),
            QStringLiteral("Ein D4 wird gewürfelt: 4. Neuer Wurf! Ein D4 wird gewürfelt: 1. "
                           "Die Summe lautet: 3 (5-2)")},
        RollCase{"KarmaFumble",
            {text::dieLine(4, 1), "Karma +4!", text::dieLine(4, 1), text::fumbleLine()},
            QStringLiteral("Patzer!"),
            QStringLiteral("Ein D4 wird gewürfelt: 1. Karma +4! Ein D4 wird gewürfelt: 1. Patzer!")},
        RollCase{"ErrorOverSeveralLines",
            {text::dieLine(20, 20), text::rerollNotice(DiceEngine::br()),
                text::errorLine(RollError::Kind::Overflow)},
            QStringLiteral("Fehler: Überlauf – der Wurf wurde abgebrochen."),
            QStringLiteral("Ein D20 wird gewürfelt: 20. Neuer Wurf! "
                           "Fehler: Überlauf – der Wurf wurde abgebrochen.")},
        RollCase{"NothingRolled", {}, QString(), QString()}),
    [](const auto& info) { return std::string(info.param.name); });

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
