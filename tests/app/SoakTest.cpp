#include "app/TranscriptCheck.h"
#include "app/WindowRig.h"
#include "dice/MixingGenerator.h"
#include "steps/StepTable.h"

#include <QApplication>

#include <gtest/gtest.h>

#include <random>

namespace velmora {
namespace {

using Rig = testing::BasicWindowRig<MixingGenerator>;

// Many clicks through the real buttons, painting as a user would see it.
TEST(Soak, AHundredThousandSeededClicks)
{
    constexpr int kClicks = 100000;
    Rig rig(std::uint64_t{1});
    std::mt19937 pick(99);
    std::uniform_int_distribution<int> buttonOf(1, kLastStep + kKarmaButtons);
    int level = 0;
    for (int click = 0; click < kClicks; ++click) {
        const int button = buttonOf(pick);
        if (button <= kLastStep) {
            rig.click(rig.step(button));
            ASSERT_TRUE(testing::matchesModel(rig.lines(), stepDefinition(button), level))
                << "click " << click;
        } else {
            rig.click(rig.karmaButton(button - kLastStep));
            level = button - kLastStep == kResetButton ? 0 : button - kLastStep;
        }
        if (click % 32 == 0) {
            QApplication::processEvents();
        }
    }
    EXPECT_EQ(rig.karmaLabel()->text(), QString::number(level));
}

} // namespace
} // namespace velmora
