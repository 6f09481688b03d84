#include "steps/StepTable.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>

namespace velmora {
namespace {

TEST(StepTable, HasFortyRowsInStepOrder)
{
    const auto table = stepTable();
    ASSERT_EQ(table.size(), 40U);
    for (int step = kFirstStep; step <= kLastStep; ++step) {
        EXPECT_EQ(stepDefinition(step).step, step);
        EXPECT_EQ(&stepDefinition(step), &table[static_cast<std::size_t>(step - 1)]);
    }
}

TEST(StepTable, EveryRowObeysTheTableRules)
{
    constexpr int kSizes[] = {4, 6, 8, 10, 12, 20};
    for (const StepDefinition& row : stepTable()) {
        SCOPED_TRACE(row.step);
        const int count = static_cast<int>(row.diceCount);
        EXPECT_GE(count, 1);
        EXPECT_LE(count, 5);
        EXPECT_EQ(row.plainThreshold, count);
        EXPECT_EQ(row.karmaThreshold, count + 1);
        for (const auto sides : row.rolledDice()) {
            EXPECT_NE(std::find(std::begin(kSizes), std::end(kSizes), sides), std::end(kSizes));
        }
        const int modifier = row.step == 1 ? 2 : row.step == 2 ? 1 : 0;
        EXPECT_EQ(row.modifier, modifier);
    }
}

TEST(StepTable, DiceCountsGrowInGroups)
{
    struct Group {
        int first;
        int last;
        std::size_t dice;
    };
    for (const Group g : {Group{1, 7, 1}, Group{8, 18, 2}, Group{19, 24, 3}, Group{25, 29, 4},
             Group{30, 40, 5}}) {
        for (int step = g.first; step <= g.last; ++step) {
            EXPECT_EQ(stepDefinition(step).diceCount, g.dice) << "step " << step;
        }
    }
}

TEST(StepTable, StepsOneToThreeRollTheSameD4)
{
    for (const int step : {1, 2, 3}) {
        ASSERT_EQ(stepDefinition(step).diceCount, 1U);
        EXPECT_EQ(stepDefinition(step).dice[0], 4);
    }
}

TEST(StepTable, HasNoStepOutsideOneToForty)
{
    for (const int step : {0, -1, 41, 1000}) {
        EXPECT_THROW(stepDefinition(step), std::out_of_range) << step;
    }
}

} // namespace
} // namespace velmora
