#include "steps/StepTable.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <string>

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

// The forty rows as the game's table prints them, written out by hand and
// not taken from the production table, so that a changed die, order,
// modifier or threshold in any row fails here.
struct PrintedRow {
    int step;
    const char* dice;
    int modifier;
    int plainThreshold;
    int karmaThreshold;
};
constexpr PrintedRow kPrinted[] = {
    {1, "d4", 2, 1, 2},
    {2, "d4", 1, 1, 2},
    {3, "d4", 0, 1, 2},
    {4, "d6", 0, 1, 2},
    {5, "d8", 0, 1, 2},
    {6, "d10", 0, 1, 2},
    {7, "d12", 0, 1, 2},
    {8, "d6, d6", 0, 2, 3},
    {9, "d8, d6", 0, 2, 3},
    {10, "d10, d6", 0, 2, 3},
    {11, "d10, d8", 0, 2, 3},
    {12, "d10, d10", 0, 2, 3},
    {13, "d12, d10", 0, 2, 3},
    {14, "d20, d4", 0, 2, 3},
    {15, "d20, d6", 0, 2, 3},
    {16, "d20, d8", 0, 2, 3},
    {17, "d20, d10", 0, 2, 3},
    {18, "d20, d12", 0, 2, 3},
    {19, "d20, d6, d6", 0, 3, 4},
    {20, "d20, d8, d6", 0, 3, 4},
    {21, "d20, d10, d6", 0, 3, 4},
    {22, "d20, d10, d8", 0, 3, 4},
    {23, "d20, d10, d10", 0, 3, 4},
    {24, "d20, d12, d10", 0, 3, 4},
    {25, "d20, d10, d8, d4", 0, 4, 5},
    {26, "d20, d10, d8, d6", 0, 4, 5},
    {27, "d20, d10, d8, d8", 0, 4, 5},
    {28, "d20, d10, d10, d8", 0, 4, 5},
    {29, "d20, d12, d10, d8", 0, 4, 5},
    {30, "d20, d10, d8, d6, d6", 0, 5, 6},
    {31, "d20, d10, d8, d8, d6", 0, 5, 6},
    {32, "d20, d10, d10, d8, d6", 0, 5, 6},
    {33, "d20, d10, d10, d8, d8", 0, 5, 6},
    {34, "d20, d10, d10, d10, d8", 0, 5, 6},
    {35, "d20, d12, d10, d10, d8", 0, 5, 6},
    {36, "d20, d20, d10, d8, d4", 0, 5, 6},
    {37, "d20, d20, d10, d8, d6", 0, 5, 6},
    {38, "d20, d20, d10, d8, d8", 0, 5, 6},
    {39, "d20, d20, d10, d10, d8", 0, 5, 6},
    {40, "d20, d20, d12, d10, d8", 0, 5, 6},
};

std::string diceText(const StepDefinition& row)
{
    std::string text;
    for (const auto sides : row.rolledDice()) {
        text += (text.empty() ? "d" : ", d") + std::to_string(sides);
    }
    return text;
}

TEST(StepTable, EveryRowIsThePrintedOne)
{
    ASSERT_EQ(std::size(kPrinted), stepTable().size());
    for (const PrintedRow& printed : kPrinted) {
        const StepDefinition& row = stepDefinition(printed.step);
        SCOPED_TRACE(printed.step);
        EXPECT_EQ(diceText(row), printed.dice);
        EXPECT_EQ(row.modifier, printed.modifier);
        EXPECT_EQ(row.plainThreshold, printed.plainThreshold);
        EXPECT_EQ(row.karmaThreshold, printed.karmaThreshold);
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
