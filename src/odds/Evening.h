#pragma once

#include "odds/Luck.h"
#include "steps/RollLog.h"

#include <array>
#include <cstdint>
#include <deque>
#include <limits>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace velmora {

// Rolls against fair dice: tonight's, all together or one character's
// talent, a past evening's, or those a filter chose.
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
    // Their results on average, as their lines show them, against the mean
    // of their dice; the best sum and how many were "Patzer!".
    double meanResult = 0.0;
    double meanOfDice = 0.0;
    std::int64_t best = 0;
    int fumbles = 0;
};

// Gathers rolls one at a time; rolls that ended in an error count in none.
class LuckTally {
public:
    explicit LuckTally(OddsCache& odds) : m_odds(&odds) {}
    // False where the roll has no luck.
    bool add(const RollRecord& roll);
    bool empty() const { return m_chancesAbove.empty(); }
    EveningGroup done() const;

    EveningGroup group; // its name, and the bands as they grow

private:
    OddsCache* m_odds;
    double m_luckSum = 0.0;
    double m_resultSum = 0.0;
    double m_diceSum = 0.0;
    bool m_anySum = false;
    std::vector<double> m_chancesAbove;
    std::vector<bool> m_above;
    // Each step and karma's once: a full log holds a thousand rolls of a few.
    std::map<const RollOdds*, std::array<double, 10>> m_fairOf;
};

// All of tonight first, then one group for each talent rolled tonight, in
// the order of their first roll. Rolls that ended in an error count in
// none. Nothing where nothing was rolled tonight.
std::vector<EveningGroup> tonight(const RollLog& log, std::int64_t now, OddsCache& odds);

// Which rolls to look back on; what is left empty chooses every roll.
struct RollFilter {
    std::string character;
    std::string talent;
    int step = 0;
    // Rolled from, inclusive, and before, in ms since 1970.
    std::int64_t from = std::numeric_limits<std::int64_t>::min();
    std::int64_t before = std::numeric_limits<std::int64_t>::max();

    bool matches(const RollLog::Entry& entry) const;
    bool any() const;
    bool operator==(const RollFilter&) const = default;
};

// A past evening: from its first roll to its last, and its summary.
struct PastEvening {
    std::int64_t first = 0;
    std::int64_t last = 0;
    EveningGroup summary;
};

// Every roll kept, taken oldest first: the evenings they make, and the
// rolls that a filter chooses with their record.
class LookBack {
public:
    // The newest chosen rolls kept as rolls; of more, their ids only.
    static constexpr std::size_t kShown = 10000;

    LookBack(RollFilter filter, OddsCache& odds);
    void take(const RollLog::Entry& entry);

    const RollFilter& filter() const { return m_filter; }
    // Newest first, each with its summary.
    std::vector<PastEvening> evenings() const;
    // The chosen rolls, newest first, at most kShown of them; all their ids.
    const std::deque<RollLog::Entry>& chosen() const { return m_chosen; }
    const std::vector<std::uint64_t>& chosenIds() const { return m_chosenIds; }
    EveningGroup record() const { return m_record.done(); }
    // Every character and talent rolled, to choose from.
    const std::set<std::pair<std::string, std::string>>& talents() const { return m_talents; }

private:
    RollFilter m_filter;
    OddsCache* m_odds;
    std::vector<PastEvening> m_past; // oldest first, each done with
    PastEvening m_current;
    LuckTally m_tonight;
    std::int64_t m_lastWhen = std::numeric_limits<std::int64_t>::min();
    bool m_started = false;
    std::deque<RollLog::Entry> m_chosen;
    std::vector<std::uint64_t> m_chosenIds;
    LuckTally m_record;
    std::set<std::pair<std::string, std::string>> m_talents;
};

} // namespace velmora
