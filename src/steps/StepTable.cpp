#include "steps/StepTable.h"

#include <array>
#include <cstdio>
#include <initializer_list>
#include <stdexcept>

namespace velmora {
namespace {

constexpr StepDefinition row(
    int step, std::initializer_list<std::int16_t> dice, int modifier, int plainThreshold, int karmaThreshold)
{
    StepDefinition def;
    def.step = step;
    for (const std::int16_t sides : dice) {
        def.dice[def.diceCount++] = sides;
    }
    def.modifier = modifier;
    def.plainThreshold = plainThreshold;
    def.karmaThreshold = karmaThreshold;
    return def;
}

constexpr std::array<StepDefinition, kLastStep> kTable{{
    row(1, {4}, 2, 1, 2),
    row(2, {4}, 1, 1, 2),
    row(3, {4}, 0, 1, 2),
    row(4, {6}, 0, 1, 2),
    row(5, {8}, 0, 1, 2),
    row(6, {10}, 0, 1, 2),
    row(7, {12}, 0, 1, 2),
    row(8, {6, 6}, 0, 2, 3),
    row(9, {8, 6}, 0, 2, 3),
    row(10, {10, 6}, 0, 2, 3),
    row(11, {10, 8}, 0, 2, 3),
    row(12, {10, 10}, 0, 2, 3),
    row(13, {12, 10}, 0, 2, 3),
    row(14, {20, 4}, 0, 2, 3),
    row(15, {20, 6}, 0, 2, 3),
    row(16, {20, 8}, 0, 2, 3),
    row(17, {20, 10}, 0, 2, 3),
    row(18, {20, 12}, 0, 2, 3),
    row(19, {20, 6, 6}, 0, 3, 4),
    row(20, {20, 8, 6}, 0, 3, 4),
    row(21, {20, 10, 6}, 0, 3, 4),
    row(22, {20, 10, 8}, 0, 3, 4),
    row(23, {20, 10, 10}, 0, 3, 4),
    row(24, {20, 12, 10}, 0, 3, 4),
    row(25, {20, 10, 8, 4}, 0, 4, 5),
    row(26, {20, 10, 8, 6}, 0, 4, 5),
    row(27, {20, 10, 8, 8}, 0, 4, 5),
    row(28, {20, 10, 10, 8}, 0, 4, 5),
    row(29, {20, 12, 10, 8}, 0, 4, 5),
    row(30, {20, 10, 8, 6, 6}, 0, 5, 6),
    row(31, {20, 10, 8, 8, 6}, 0, 5, 6),
    row(32, {20, 10, 10, 8, 6}, 0, 5, 6),
    row(33, {20, 10, 10, 8, 8}, 0, 5, 6),
    row(34, {20, 10, 10, 10, 8}, 0, 5, 6),
    row(35, {20, 12, 10, 10, 8}, 0, 5, 6),
    row(36, {20, 20, 10, 8, 4}, 0, 5, 6),
    row(37, {20, 20, 10, 8, 6}, 0, 5, 6),
    row(38, {20, 20, 10, 8, 8}, 0, 5, 6),
    row(39, {20, 20, 10, 10, 8}, 0, 5, 6),
    row(40, {20, 20, 12, 10, 8}, 0, 5, 6),
}};

} // namespace

std::span<const StepDefinition> stepTable() { return kTable; }

const StepDefinition& stepDefinition(int step)
{
    if (step < kFirstStep || step > kLastStep) {
        throw std::out_of_range("no such step");
    }
    return kTable[static_cast<std::size_t>(step - kFirstStep)];
}

std::string stepCaption(int step)
{
    char digits[16];
    std::snprintf(digits, sizeof digits, "%02d", step);
    return std::string("Stufe ") + digits;
}

} // namespace velmora
