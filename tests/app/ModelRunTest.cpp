#include "app/TranscriptCheck.h"
#include "app/WindowRig.h"
#include "dice/MixingGenerator.h"
#include "karma/KarmaState.h"
#include "steps/StepTable.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace velmora {
namespace {

using Rig = testing::BasicWindowRig<MixingGenerator>;
using testing::matchesModel;
using Lines = std::vector<std::string>;

TEST(ModelRun, TenThousandSeededClicksAgreeWithTheReferenceModel)
{
    constexpr int kClicks = 10000;
    Rig rig(std::uint64_t{20261208});
    std::mt19937 pick(4711);
    std::uniform_int_distribution<int> buttonOf(1, kLastStep + kKarmaButtons);
    int level = 0;
    int rolls = 0;
    int fumbles = 0;
    for (int click = 0; click < kClicks; ++click) {
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
    }
    EXPECT_GT(rolls, kClicks * 3 / 4);
    EXPECT_GT(fumbles, 0);
}

} // namespace
} // namespace velmora
