#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace velmora {

struct StepDefinition {
    static constexpr std::size_t kMaxDice = 5;

    int step = 0;
    std::array<std::int16_t, kMaxDice> dice{};
    std::size_t diceCount = 0;
    int modifier = 0;
    int plainThreshold = 0;
    int karmaThreshold = 0;

    std::span<const std::int16_t> rolledDice() const { return {dice.data(), diceCount}; }
};

} // namespace velmora
