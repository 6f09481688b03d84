#include "odds/Evening.h"

#include <algorithm>

namespace velmora {

namespace {

struct Gathered {
    EveningGroup group;
    double luckSum = 0.0;
    std::vector<double> chancesAbove;
    std::vector<bool> above;

    void add(double luck, double chanceAbove, bool isAbove)
    {
        luckSum += luck;
        chancesAbove.push_back(chanceAbove);
        above.push_back(isAbove);
        const int band = std::clamp(static_cast<int>(luck * 10.0), 0, 9);
        ++group.bands[static_cast<std::size_t>(band)];
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
    for (std::size_t i = eveningStart(when, now); i < log.size(); ++i) {
        const RollRecord& roll = log[i].roll;
        const RollOdds* rollOdds = oddsOf(odds, roll);
        const std::optional<double> luck = rollOdds != nullptr ? luckOf(*rollOdds, roll) : std::nullopt;
        if (!luck) {
            continue;
        }
        const double chanceAbove = chanceAboveMean(*rollOdds);
        const bool isAbove = aboveMean(*rollOdds, roll);
        groups[0].add(*luck, chanceAbove, isAbove);
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
        group->add(*luck, chanceAbove, isAbove);
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
