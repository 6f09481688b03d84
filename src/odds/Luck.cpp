#include "odds/Luck.h"

#include "steps/StepTable.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace velmora {

std::int64_t shownValue(const RollRecord& roll) { return roll.total - roll.modifier; }

namespace {

// Below: the fumbles and the sums under this one.
double luckOfShown(const RollOdds& odds, int value)
{
    const double below = odds.fumbleChance() + odds.chanceAtLeast(odds.lowestShown()) - odds.chanceAtLeast(value);
    return below + odds.chanceOf(value) / 2.0;
}

} // namespace

const RollOdds* oddsOf(OddsCache& odds, const RollRecord& roll)
{
    if (roll.step < kFirstStep || roll.step > kLastStep || roll.karmaLevel < kNoKarma
        || roll.karmaLevel > kHighestKarmaLevel) {
        return nullptr;
    }
    return &odds.odds(roll.step, roll.karmaLevel);
}

std::optional<double> luckOf(const RollOdds& odds, const RollRecord& roll)
{
    switch (roll.outcome) {
    case RollRecord::Outcome::Fumble:
        return odds.fumbleChance() / 2.0;
    case RollRecord::Outcome::Sum: {
        const std::int64_t shown = shownValue(roll);
        if (shown > odds.highestShown()) {
            // Beyond what the odds keep, less than 1e-12 from the top.
            return 1.0;
        }
        return luckOfShown(odds, static_cast<int>(std::max<std::int64_t>(shown, odds.lowestShown())));
    }
    case RollRecord::Outcome::Unfinished:
    case RollRecord::Outcome::Error:
        break;
    }
    return std::nullopt;
}

int luckBand(double luck) { return std::clamp(static_cast<int>(luck * 10.0), 0, 9); }

std::array<double, 10> fairBands(const RollOdds& odds)
{
    std::array<double, 10> bands{};
    // Each value's luck as luckOf() works it out, so that a roll lands in
    // the band that its own share was counted in.
    bands[static_cast<std::size_t>(luckBand(odds.fumbleChance() / 2.0))] += odds.fumbleChance();
    for (int value = odds.lowestShown(); value <= odds.highestShown(); ++value) {
        bands[static_cast<std::size_t>(luckBand(luckOfShown(odds, value)))] += odds.chanceOf(value);
    }
    return bands;
}

int luckPercent(double luck)
{
    // The odds are exact to 1e-12, not to the last bit: 0.175 comes out as
    // 0.17499999999999999, a half that must still go up.
    return static_cast<int>(std::floor(luck * 100.0 + 0.5 + 1e-9));
}

double chanceAboveMean(const RollOdds& odds)
{
    return odds.chanceAtLeast(static_cast<int>(std::floor(odds.mean())) + 1);
}

bool aboveMean(const RollOdds& odds, const RollRecord& roll)
{
    return roll.outcome == RollRecord::Outcome::Sum && static_cast<double>(shownValue(roll)) > odds.mean();
}

std::vector<double> poissonBinomial(const std::vector<double>& chances)
{
    std::vector<double> exactly{1.0};
    exactly.reserve(chances.size() + 1);
    for (const double p : chances) {
        exactly.push_back(0.0);
        for (std::size_t k = exactly.size() - 1; k > 0; --k) {
            exactly[k] = exactly[k] * (1.0 - p) + exactly[k - 1] * p;
        }
        exactly[0] *= 1.0 - p;
    }
    return exactly;
}

EveningOdds eveningOdds(const std::vector<double>& chancesAbove, const std::vector<bool>& above)
{
    EveningOdds evening;
    evening.rolls = static_cast<int>(chancesAbove.size());
    double variance = 0.0;
    double logNone = 0.0;
    double logAll = 0.0;
    for (std::size_t i = 0; i < chancesAbove.size(); ++i) {
        const double p = chancesAbove[i];
        evening.expectedAbove += p;
        evening.above += i < above.size() && above[i] ? 1 : 0;
        variance += p * (1.0 - p);
        logNone += std::log1p(-p);
        logAll += std::log(p);
    }
    const bool high = static_cast<double>(evening.above) >= evening.expectedAbove;
    if (chancesAbove.size() > kExactUpTo) {
        // Exact costs n² steps, a minute for a year of rolls; this many
        // make the normal curve good to a thousandth of the chance.
        const double z = high ? (static_cast<double>(evening.above) - 0.5 - evening.expectedAbove)
                              : (evening.expectedAbove - static_cast<double>(evening.above) - 0.5);
        evening.chance = std::min(1.0, 0.5 * std::erfc(z / std::sqrt(2.0 * std::max(variance, 1e-300))));
        evening.rarest = std::exp(std::min(logNone, logAll));
        return evening;
    }
    const std::vector<double> exactly = poissonBinomial(chancesAbove);
    const auto count = static_cast<std::size_t>(evening.above);
    double tail = 0.0;
    if (high) {
        for (std::size_t k = count; k < exactly.size(); ++k) {
            tail += exactly[k];
        }
    } else {
        for (std::size_t k = 0; k <= count; ++k) {
            tail += exactly[k];
        }
    }
    evening.chance = std::min(tail, 1.0);
    evening.rarest = std::min(exactly.front(), exactly.back());
    return evening;
}

std::int64_t oneIn(double chance)
{
    constexpr auto kMost = std::numeric_limits<std::int64_t>::max();
    if (!(chance > 0.0) || 1.0 / chance >= static_cast<double>(kMost)) {
        return kMost;
    }
    return std::max<std::int64_t>(1, std::llround(1.0 / chance));
}

std::size_t eveningStart(const std::vector<std::int64_t>& when, std::int64_t now)
{
    if (when.empty() || now - when.back() >= kEveningPauseMs) {
        return when.size();
    }
    std::size_t start = when.size() - 1;
    while (start > 0 && when[start] - when[start - 1] < kEveningPauseMs) {
        --start;
    }
    return start;
}

} // namespace velmora
