#include "odds/Odds.h"

#include "karma/KarmaState.h"
#include "steps/StepTable.h"

#include <stdexcept>
#include <string>

// What the odds leave out, and why neither shows in any figure:
//
// - Dice explode without limit, so a die's chances go on for ever. Each die
//   keeps the values up to the chain of highest faces whose chance falls
//   below kTailCut (10^-12); a roll of up to six dice thus loses less than
//   6 * 10^-12 of its chances, from its far tail, a millionth of the 0.1 %
//   that the odds window shows.
// - The step dice add up in 16 bits and a roll that passes 32767 stops with
//   an error instead of a sum. To get there the step dice must show their
//   highest face some 1,600 times in one roll; a Chernoff bound puts that
//   below 10^-2121 for every row of the table (step 40 is the likeliest).
//   One die passing 32767 on its own, the karma die included, is rarer
//   still: below 10^-2131. Doubles end near 10^-308, so no chance here could
//   change by it.

namespace velmora {
namespace {

std::vector<double> convolve(const std::vector<double>& a, const std::vector<double>& b)
{
    std::vector<double> out(a.size() + b.size() - 1, 0.0);
    for (std::size_t i = 0; i < a.size(); ++i) {
        // A multiple of a die's size never comes up: most rows are a third
        // zero and skipping them is free.
        if (a[i] == 0.0) {
            continue;
        }
        const double ai = a[i];
        double* row = out.data() + i;
        for (std::size_t j = 0; j < b.size(); ++j) {
            row[j] += ai * b[j];
        }
    }
    return out;
}

void checkLevel(int karmaLevel)
{
    if (karmaLevel < kNoKarma || karmaLevel > kHighestKarmaLevel) {
        throw std::out_of_range("karma level " + std::to_string(karmaLevel));
    }
}

} // namespace

std::vector<double> explodingDie(int sides)
{
    if (sides < 2) {
        throw std::invalid_argument("die size below 2");
    }
    // P(value = k*sides + j) = sides^-(k+1) for j in 1..sides-1; `chain` is
    // the chance of at least k highest faces in a row.
    std::vector<double> p;
    for (double chain = 1.0; chain >= kTailCut; chain /= sides) {
        p.push_back(0.0);
        p.insert(p.end(), static_cast<std::size_t>(sides - 1), chain / sides);
    }
    return p;
}

std::vector<double> stepDiceTotal(const StepDefinition& step)
{
    std::vector<double> total{1.0};
    for (const std::int16_t sides : step.rolledDice()) {
        total = convolve(total, explodingDie(sides));
    }
    return total;
}

RollOdds::RollOdds(const StepDefinition& step, int karmaLevel) : RollOdds(step, karmaLevel, stepDiceTotal(step)) {}

RollOdds::RollOdds(const StepDefinition& step, int karmaLevel, const std::vector<double>& stepDice)
    : m_step(step.step)
    , m_karmaLevel(karmaLevel)
{
    checkLevel(karmaLevel);
    if (karmaLevel == kNoKarma) {
        fromTotal(step, stepDice);
        return;
    }
    const KarmaLevel& level = karmaTable()[static_cast<std::size_t>(karmaLevel - 1)];
    fromTotal(step, convolve(stepDice, explodingDie(level.die)));
}

void RollOdds::fromTotal(const StepDefinition& step, const std::vector<double>& total)
{
    // The roll's own rule: "Patzer!" whenever the total does not pass the
    // threshold; the deduction only shifts what the sum line shows.
    const int threshold = m_karmaLevel == kNoKarma ? step.plainThreshold : step.karmaThreshold;
    const auto first = static_cast<std::size_t>(threshold + 1);
    double mean = 0.0;
    for (std::size_t v = 0; v < total.size(); ++v) {
        mean += static_cast<double>(v) * total[v];
        if (v < first) {
            m_fumble += total[v];
        }
    }
    m_mean = mean - step.modifier;
    m_lowestShown = threshold + 1 - step.modifier;
    m_shown.assign(total.begin() + static_cast<std::ptrdiff_t>(first), total.end());
    // From the top, so that the small chances of the tail keep their digits.
    m_atLeast.resize(m_shown.size());
    double above = 0.0;
    for (std::size_t i = m_shown.size(); i-- > 0;) {
        above += m_shown[i];
        m_atLeast[i] = above;
    }
}

double RollOdds::chanceAtLeast(int n) const
{
    if (n <= m_lowestShown) {
        return m_atLeast.front();
    }
    const auto i = static_cast<std::size_t>(n - m_lowestShown);
    return i < m_atLeast.size() ? m_atLeast[i] : 0.0;
}

double RollOdds::chanceOf(int n) const
{
    if (n < m_lowestShown) {
        return 0.0;
    }
    const auto i = static_cast<std::size_t>(n - m_lowestShown);
    return i < m_shown.size() ? m_shown[i] : 0.0;
}

const RollOdds& OddsCache::odds(int step, int karmaLevel)
{
    const StepDefinition& row = stepDefinition(step);
    checkLevel(karmaLevel);
    const auto s = static_cast<std::size_t>(step - kFirstStep);
    auto& slot = m_odds[s * kLevels + static_cast<std::size_t>(karmaLevel)];
    if (!slot) {
        if (m_stepDice[s].empty()) {
            m_stepDice[s] = stepDiceTotal(row);
        }
        slot = std::make_unique<const RollOdds>(row, karmaLevel, m_stepDice[s]);
        ++m_computed;
    }
    return *slot;
}

OddsCache& sharedOdds()
{
    static OddsCache cache;
    return cache;
}

} // namespace velmora
