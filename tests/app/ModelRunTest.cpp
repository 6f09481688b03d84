#include "app/TranscriptCheck.h"
#include "app/WindowRig.h"
#include "dice/MixingGenerator.h"
#include "karma/KarmaState.h"
#include "steps/StepTable.h"

#include <QApplication>

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace velmora {
namespace {

using Rig = fixtures::BasicWindowRig<MixingGenerator>;
using fixtures::matchesModel;
using Lines = std::vector<std::string>;

struct Session {
    int clicks;
    std::uint64_t diceSeed;
    unsigned clickSeed;
    int paintEvery; // clicks between turns of the event loop; 0 for none
};

// Seeded random clicks over the 45 buttons, each checked against the
// reference model: the roll's transcript, the karma state and the lamps.
void runSession(const Session& s)
{
    Rig rig(s.diceSeed);
    std::mt19937 pick(s.clickSeed);
    std::uniform_int_distribution<int> buttonOf(1, kLastStep + kKarmaButtons);
    int level = 0;
    int rolls = 0;
    int fumbles = 0;
    for (int click = 0; click < s.clicks; ++click) {
        const int button = buttonOf(pick);
        if (button <= kLastStep) {
            rig.click(rig.step(button));
            ASSERT_TRUE(matchesModel(rig.lines(), stepDefinition(button), level))
                << "click " << click << ", step " << button << ", karma " << level;
            ++rolls;
            fumbles += rig.lines().back() == "Patzer!";
        } else {
            const Lines before = rig.lines();
            const int karmaButton = button - kLastStep;
            rig.click(rig.karmaButton(karmaButton));
            level = karmaButton == kResetButton ? 0 : karmaButton;
            ASSERT_EQ(rig.lines(), before) << "click " << click;
        }
        ASSERT_EQ(rig.karmaLabel()->text(), QString::number(level)) << "click " << click;
        for (int lamp = 1; lamp <= kKarmaLamps; ++lamp) {
            ASSERT_EQ(rig.lamp(lamp)->isLit(), lamp == level) << "click " << click;
        }
        if (s.paintEvery > 0 && click % s.paintEvery == 0) {
            QApplication::processEvents();
        }
    }
    EXPECT_GT(rolls, s.clicks * 3 / 4);
    EXPECT_GT(fumbles, 0);
}

TEST(ModelRun, TenThousandSeededClicksAgreeWithTheReferenceModel) { runSession({10000, 20261208, 4711, 0}); }

TEST(Soak, AHundredThousandSeededClicksWithRepaints) { runSession({100000, 1, 99, 32}); }

} // namespace
} // namespace velmora
