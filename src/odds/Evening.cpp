#include "odds/Evening.h"

#include <algorithm>

namespace velmora {

bool LuckTally::add(const RollRecord& roll)
{
    const RollOdds* rollOdds = oddsOf(*m_odds, roll);
    const std::optional<double> luck = rollOdds != nullptr ? luckOf(*rollOdds, roll) : std::nullopt;
    if (!luck) {
        return false;
    }
    auto fair = m_fairOf.find(rollOdds);
    if (fair == m_fairOf.end()) {
        fair = m_fairOf.emplace(rollOdds, fairBands(*rollOdds)).first;
    }
    m_luckSum += *luck;
    m_chancesAbove.push_back(chanceAboveMean(*rollOdds));
    m_above.push_back(aboveMean(*rollOdds, roll));
    ++group.bands[static_cast<std::size_t>(luckBand(*luck))];
    for (std::size_t band = 0; band < fair->second.size(); ++band) {
        group.fair[band] += fair->second[band];
    }
    // A "Patzer!" counts with the total it had, as the dice's mean does.
    m_resultSum += static_cast<double>(shownValue(roll));
    m_diceSum += rollOdds->mean();
    if (roll.outcome == RollRecord::Outcome::Fumble) {
        ++group.fumbles;
    } else {
        group.best = m_anySum ? std::max(group.best, shownValue(roll)) : shownValue(roll);
        m_anySum = true;
    }
    return true;
}

EveningGroup LuckTally::done() const
{
    EveningGroup done = group;
    done.odds = eveningOdds(m_chancesAbove, m_above);
    if (!m_chancesAbove.empty()) {
        const auto n = static_cast<double>(m_chancesAbove.size());
        done.meanLuck = m_luckSum / n;
        done.meanResult = m_resultSum / n;
        done.meanOfDice = m_diceSum / n;
    }
    return done;
}

std::vector<EveningGroup> tonight(const RollLog& log, std::int64_t now, OddsCache& odds)
{
    std::vector<std::int64_t> when;
    when.reserve(log.size());
    for (std::size_t i = 0; i < log.size(); ++i) {
        when.push_back(log[i].when);
    }
    std::vector<LuckTally> groups(1, LuckTally(odds));
    for (std::size_t i = eveningStart(when, now); i < log.size(); ++i) {
        const RollRecord& roll = log[i].roll;
        if (!groups[0].add(roll) || roll.talent.empty()) {
            continue;
        }
        auto group = std::find_if(groups.begin() + 1, groups.end(), [&roll](const LuckTally& g) {
            return g.group.character == roll.character && g.group.talent == roll.talent;
        });
        if (group == groups.end()) {
            groups.emplace_back(odds);
            groups.back().group.character = roll.character;
            groups.back().group.talent = roll.talent;
            group = groups.end() - 1;
        }
        group->add(roll);
    }
    std::vector<EveningGroup> evening;
    if (groups[0].empty()) {
        return evening;
    }
    for (const LuckTally& g : groups) {
        evening.push_back(g.done());
    }
    return evening;
}

bool RollFilter::matches(const RollLog::Entry& entry) const
{
    return (character.empty() || entry.roll.character == character) && (talent.empty() || entry.roll.talent == talent)
        && (step == 0 || entry.roll.step == step) && entry.when >= from && entry.when < before;
}

bool RollFilter::any() const { return *this != RollFilter{}; }

LookBack::LookBack(RollFilter filter, OddsCache& odds)
    : m_filter(std::move(filter))
    , m_odds(&odds)
    , m_tonight(odds)
    , m_record(odds)
{
}

void LookBack::take(const RollLog::Entry& entry)
{
    // A pause as long as the one that ends "Heute" ends an evening; a clock
    // set back does not.
    if (m_started && entry.when - m_lastWhen >= kEveningPauseMs) {
        m_current.summary = m_tonight.done();
        m_past.push_back(std::move(m_current));
        m_current = {};
        m_tonight = LuckTally(*m_odds);
        m_started = false;
    }
    if (!m_started) {
        m_current.first = entry.when;
        m_started = true;
    }
    m_current.last = entry.when;
    m_lastWhen = entry.when;
    m_tonight.add(entry.roll);
    if (!entry.roll.character.empty() || !entry.roll.talent.empty()) {
        m_talents.emplace(entry.roll.character, entry.roll.talent);
    }
    // Without a filter, the evenings only.
    if (m_filter.any() && m_filter.matches(entry)) {
        m_chosenIds.push_back(entry.id);
        m_chosen.push_front(entry);
        if (m_chosen.size() > kShown) {
            m_chosen.pop_back();
        }
        m_record.add(entry.roll);
    }
}

std::vector<PastEvening> LookBack::evenings() const
{
    std::vector<PastEvening> all(m_past.rbegin(), m_past.rend());
    if (m_started) {
        PastEvening last = m_current;
        last.summary = m_tonight.done();
        all.insert(all.begin(), std::move(last));
    }
    return all;
}

} // namespace velmora
