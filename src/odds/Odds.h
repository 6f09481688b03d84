#pragma once

#include "steps/StepDefinition.h"

#include <array>
#include <cstddef>
#include <memory>
#include <vector>

namespace velmora {

inline constexpr int kNoKarma = 0;
inline constexpr int kHighestKarmaLevel = 4;

// Each exploding die's chain of highest faces is followed until the chance
// of going on falls below this; what is left of it is dropped, so every
// die's chances add up to at least 1 - kTailCut.
inline constexpr double kTailCut = 1e-12;

// P(value) of one exploding die of `sides` faces, indexed by the value;
// values from kTailCut's cut on are left out.
std::vector<double> explodingDie(int sides);

// The exact chances of one step roll at one karma level.
//
// The shown value is what the sum line shows first: the total less the
// step's deduction (2 in step 1, 1 in step 2).
class RollOdds {
public:
    RollOdds(const StepDefinition& step, int karmaLevel);
    // The same from the step dice's total, already convolved.
    RollOdds(const StepDefinition& step, int karmaLevel, const std::vector<double>& stepDiceTotal);

    int step() const { return m_step; }
    int karmaLevel() const { return m_karmaLevel; }

    // P(the roll ends with a sum line that shows at least n); "Patzer!"
    // never reaches any n.
    double chanceAtLeast(int n) const;
    // P(the sum line shows exactly n).
    double chanceOf(int n) const;
    // P("Patzer!").
    double fumbleChance() const { return m_fumble; }
    // The plain expectation of the shown value over all rolls, a fumble
    // counted with the total it had: the dice's means added up, less the
    // deduction. That is the figure a player works out for a step
    // (d20 + d4: 11.05 + 3.33 = 14.4); leaving fumbles out would raise
    // it by a fraction of a point that the dice do not give.
    double mean() const { return m_mean; }

    // The lowest value a sum line can show, and the highest one kept.
    int lowestShown() const { return m_lowestShown; }
    int highestShown() const { return m_lowestShown + static_cast<int>(m_shown.size()) - 1; }

private:
    void fromTotal(const StepDefinition& step, const std::vector<double>& total);

    int m_step;
    int m_karmaLevel;
    int m_lowestShown = 0;
    double m_fumble = 0.0;
    double m_mean = 0.0;
    std::vector<double> m_shown; // P(shown = lowest + i)
    std::vector<double> m_atLeast; // P(shown >= lowest + i), summed from the top
};

// The step dice's total, P(total) indexed by the total.
std::vector<double> stepDiceTotal(const StepDefinition& step);

// Every step's odds at every karma level, each computed on first use and then
// kept. Nothing is computed before it is asked for. Not thread-safe: the
// user-interface thread alone uses it.
class OddsCache {
public:
    // Step 1..40, karma level 0..4; throws std::out_of_range otherwise.
    const RollOdds& odds(int step, int karmaLevel);
    // How many step and karma pairs have been computed so far.
    std::size_t computed() const { return m_computed; }

private:
    static constexpr std::size_t kSteps = 40;
    static constexpr std::size_t kLevels = kHighestKarmaLevel + 1;

    std::array<std::unique_ptr<const RollOdds>, kSteps * kLevels> m_odds{};
    // The five karma levels of a step share its step dice.
    std::array<std::vector<double>, kSteps> m_stepDice{};
    std::size_t m_computed = 0;
};

// The process's one cache, which the tooltips, the table and the chart share.
OddsCache& sharedOdds();

} // namespace velmora
