#include "app/TranscriptCheck.h"
#include "app/WindowRig.h"
#include "dice/MixingGenerator.h"
#include "steps/StepTable.h"

#include <QApplication>
#include <QMouseEvent>

#include <gtest/gtest.h>

namespace velmora {
namespace {

using fixtures::WindowRig;
using Lines = std::vector<std::string>;

struct CaptionCase {
    const char* caption;
    Lines lines;
};

// The buttons never write these; a roll must still end cleanly.
TEST(Faults, KarmaCaptionsTheButtonsNeverWrite)
{
    const CaptionCase cases[] = {
        {"abc",
            {"Ein D6 wird gewürfelt: 2", "Ein D6 wird gewürfelt: 1", "Fehler: Karma ungültig –", "der Wurf wurde",
                "abgebrochen."}},
        // Above 0 but no level: no karma die, yet the karma threshold of 3.
        {"7", {"Ein D6 wird gewürfelt: 2", "Ein D6 wird gewürfelt: 1", "Patzer!"}},
        {"-3", {"Ein D6 wird gewürfelt: 2", "Ein D6 wird gewürfelt: 1", "Die Summe lautet: 3"}},
    };
    for (const CaptionCase& c : cases) {
        WindowRig rig;
        rig.session.karma().setKarmaCaption(c.caption);
        rig.source.push(2, 6);
        rig.source.push(1, 6);
        rig.click(rig.step(8));
        EXPECT_EQ(rig.lines(), c.lines) << c.caption;
        EXPECT_EQ(rig.source.left(), 0U) << c.caption;
    }
}

void postClick(QWidget* target)
{
    const QPointF at(target->width() / 2.0, target->height() / 2.0);
    const QPointF global = target->mapToGlobal(at);
    QCoreApplication::postEvent(
        target, new QMouseEvent(QEvent::MouseButtonPress, at, global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier));
    QCoreApplication::postEvent(
        target, new QMouseEvent(QEvent::MouseButtonRelease, at, global, Qt::LeftButton, Qt::NoButton, Qt::NoModifier));
}

TEST(Faults, ClicksQueuedInOneTurnNeverInterleave)
{
    fixtures::BasicWindowRig<MixingGenerator> rig(std::uint64_t{5});
    // Connected after the window's own handlers, so each sees a finished roll.
    std::vector<std::pair<int, Lines>> seen;
    for (const int step : {40, 3, 25}) {
        QObject::connect(
            rig.step(step), &QPushButton::clicked, [&rig, &seen, step] { seen.emplace_back(step, rig.lines()); });
    }
    postClick(rig.karmaButton(4));
    postClick(rig.step(40));
    postClick(rig.step(3));
    postClick(rig.step(25));
    QCoreApplication::sendPostedEvents();
    ASSERT_EQ(seen.size(), 3U);
    EXPECT_EQ(seen[0].first, 40);
    EXPECT_EQ(seen[1].first, 3);
    EXPECT_EQ(seen[2].first, 25);
    for (const auto& [step, lines] : seen) {
        EXPECT_TRUE(fixtures::matchesModel(lines, stepDefinition(step), 4)) << "step " << step;
    }
    EXPECT_EQ(rig.lines(), seen.back().second);
}

TEST(Faults, AnEndlessD20ShowsTheOverflowLineAfter1638ReRolls)
{
    WindowRig rig;
    rig.source.repeatForever(20, 20);
    rig.click(rig.step(15));
    std::size_t notices = 0;
    for (const auto& line : rig.lines()) {
        notices += line == "Neuer Wurf!";
    }
    EXPECT_EQ(notices, 1638U);
    EXPECT_EQ(rig.lines().back(), "abgebrochen.");
    EXPECT_EQ(rig.lines()[rig.lines().size() - 3], "Fehler: Überlauf –");

    rig.source = fixtures::ScriptedSource();
    rig.source.push(5, 20);
    rig.source.push(3, 6);
    rig.click(rig.step(15));
    EXPECT_EQ(rig.lines(), (Lines{"Ein D20 wird gewürfelt: 5", "Ein D6 wird gewürfelt: 3", "Die Summe lautet: 8"}));
}

} // namespace
} // namespace velmora
