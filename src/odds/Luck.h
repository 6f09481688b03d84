#pragma once

#include "odds/Odds.h"
#include "steps/RollRecord.h"

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace velmora {

// The sum as its line shows it: the total less the step's deduction.
std::int64_t shownValue(const RollRecord& roll);

// The odds of the roll's step and karma; none for a roll outside the
// table, as a damaged log may hold.
const RollOdds* oddsOf(OddsCache& odds, const RollRecord& roll);

// Where a roll stands among all the rolls that its step and karma could
// give: the chance of a lower result plus half the chance of the same one,
// "Patzer!" lower than every sum. A roll at the median stands near 0.5.
// None for a roll that ended in an error.
std::optional<double> luckOf(const RollOdds& odds, const RollRecord& roll);
// In whole percent, halves rounded up.
int luckPercent(double luck);

// The band of ten, 0-10 % to 90-100 %, that a luck falls in.
int luckBand(double luck);
// Under fair dice, the share of rolls of these odds whose luck falls in each
// band: not a tenth each, since a die's few faces give few values of luck
// (a d4 alone never gives 0-10 %).
std::array<double, 10> fairBands(const RollOdds& odds);

// Whether the roll's sum lies above the mean of its step and karma; a
// "Patzer!" never does.
bool aboveMean(const RollOdds& odds, const RollRecord& roll);
// The chance of that under fair dice.
double chanceAboveMean(const RollOdds& odds);

// P(exactly k of the events happen), k = 0..n, for independent events of
// the given chances: the Poisson binomial distribution, exact up to
// rounding, in n² steps.
std::vector<double> poissonBinomial(const std::vector<double>& chances);

// An evening's rolls against fair dice: how many came out above their
// means, how many fair dice would give, and how unusual the difference is.
struct EveningOdds {
    int rolls = 0;
    int above = 0;
    double expectedAbove = 0.0;
    // The chance, under fair dice, of an evening at least this far from
    // the expected count in the same direction: P(X >= above) where above
    // is not below the expected count, else P(X <= above).
    double chance = 1.0;
    // The chance of the rarest evening these rolls could have made: none or
    // all above the mean. Where even that is not rare, the rolls are too
    // few for their chance to mean anything.
    double rarest = 1.0;
};
// From each roll's chance of lying above its mean and whether it did:
// exact up to kExactUpTo rolls, beyond by the normal curve.
inline constexpr std::size_t kExactUpTo = 4000;
EveningOdds eveningOdds(const std::vector<double>& chancesAbove, const std::vector<bool>& above);
// "1 von N" with N the chance's inverse, rounded; never below 1.
std::int64_t oneIn(double chance);

// The pause after which a new evening starts.
inline constexpr std::int64_t kEveningPauseMs = 3LL * 60 * 60 * 1000;
// Of rolls made at the given times (ms, oldest first), the index of the
// first of this evening: the first after the last pause of kEveningPauseMs
// or more, or 0; all of them (none tonight) where that pause lasts till now.
std::size_t eveningStart(const std::vector<std::int64_t>& when, std::int64_t now);

} // namespace velmora
