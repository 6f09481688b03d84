#include "odds/Evening.h"

#include <algorithm>
#include <map>

namespace velmora {

namespace {

struct Gathered {
    EveningGroup group;
    double luckSum = 0.0;
    std::vector<double> chancesAbove;
    std::vector<bool> above;

    void add(double luck, double chanceAbove, bool isAbove, const std::array<double, 10>& fair)
    {
        luckSum += luck;
        chancesAbove.push_back(chanceAbove);
        above.push_back(isAbove);
        ++group.bands[static_cast<std::size_t>(luckBand(luck))];
        for (std::size_t band = 0; band < fair.size(); ++band) {
            group.fair[band] += fair[band];
        }
    }

    EveningGroup done()
    {
        group.odds = eveningOdds(chancesAbove, above);
        group.meanLuck = chancesAbove.empty() ? 0.0 : luckSum / static_cast<double>(chancesAbove.size());
        return group;
    }
};

} // namespace

std::vector<EveningGroup> tonight(const RollLog& log, std::int64_t now, OddsCache& odds)
{
    std::vector<std::int64_t> when;
    when.reserve(log.size());
    for (std::size_t i = 0; i < log.size(); ++i) {
        when.push_back(log[i].when);
    }
    std::vector<Gathered> groups(1);
    // Each step and karma's once: a full log holds a thousand rolls of a few.
    std::map<const RollOdds*, std::array<double, 10>> fairOf;
    for (std::size_t i = eveningStart(when, now); i < log.size(); ++i) {
        const RollRecord& roll = log[i].roll;
        const RollOdds* rollOdds = oddsOf(odds, roll);
        const std::optional<double> luck = rollOdds != nullptr ? luckOf(*rollOdds, roll) : std::nullopt;
        if (!luck) {
            continue;
        }
        const double chanceAbove = chanceAboveMean(*rollOdds);
        const bool isAbove = aboveMean(*rollOdds, roll);
        auto fair = fairOf.find(rollOdds);
        if (fair == fairOf.end()) {
            fair = fairOf.emplace(rollOdds, fairBands(*rollOdds)).first;
        }
        groups[0].add(*luck, chanceAbove, isAbove, fair->second);
        if (roll.talent.empty()) {
            continue;
        }
        auto group = std::find_if(groups.begin() + 1, groups.end(), [&roll](const Gathered& g) {
            return g.group.character == roll.character && g.group.talent == roll.talent;
        });
        if (group == groups.end()) {
            groups.emplace_back();
            groups.back().group.character = roll.character;
            groups.back().group.talent = roll.talent;
            group = groups.end() - 1;
        }
        group->add(*luck, chanceAbove, isAbove, fair->second);
    }
    std::vector<EveningGroup> evening;
    if (groups[0].chancesAbove.empty()) {
        return evening;
    }
    for (Gathered& g : groups) {
        evening.push_back(g.done());
    }
    return evening;
}

} // namespace velmora
