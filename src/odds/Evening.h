#pragma once

#include "odds/Luck.h"
#include "steps/RollLog.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace velmora {

// Tonight's rolls of the log (since the last pause of three hours), all
// together or those of one character's talent, against fair dice.
struct EveningGroup {
    // Empty for all of tonight's rolls.
    std::string character;
    std::string talent;
    // Their luck on average; how many came out above their means, and the
    // chance of so unusual an evening.
    double meanLuck = 0.0;
    EveningOdds odds;
    // How many of them had a luck of 0-10 %, 10-20 %, … 90-100 %, and how
    // many fair dice give in each.
    std::array<int, 10> bands{};
    std::array<double, 10> fair{};
};

// All of tonight first, then one group for each talent rolled tonight, in
// the order of their first roll. Rolls that ended in an error count in
// none. Nothing where nothing was rolled tonight.
std::vector<EveningGroup> tonight(const RollLog& log, std::int64_t now, OddsCache& odds);

} // namespace velmora
