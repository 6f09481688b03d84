#include "steps/RollLog.h"

#include <utility>

namespace velmora {

void RollLog::add(const RollRecord& roll, std::string_view time, std::uint64_t id, std::int64_t when)
{
    if (m_slots.size() < kCapacity) {
        m_slots.reserve(kCapacity);
        m_slots.push_back({{roll, std::string(time), id, when}, {}});
        return;
    }
    Slot& slot = m_slots[m_oldest];
    m_oldest = (m_oldest + 1) % kCapacity;
    copyInto(slot, roll);
    slot.entry.time.assign(time);
    slot.entry.id = id;
    slot.entry.when = when;
}

std::vector<RollLog::Entry> RollLog::entries() const
{
    std::vector<Entry> all;
    all.reserve(size());
    for (std::size_t i = 0; i < size(); ++i) {
        all.push_back((*this)[i]);
    }
    return all;
}

void RollLog::clear()
{
    m_slots.clear();
    m_oldest = 0;
}

const RollLog::Entry& RollLog::operator[](std::size_t index) const
{
    return m_slots[(m_oldest + index) % m_slots.size()].entry;
}

void RollLog::copyInto(Slot& slot, const RollRecord& roll)
{
    RollRecord& to = slot.entry.roll;
    std::vector<DieRoll>& dice = to.dice;
    while (dice.size() > roll.dice.size()) {
        slot.spare.push_back(std::move(dice.back()));
        dice.pop_back();
    }
    while (dice.size() < roll.dice.size()) {
        if (slot.spare.empty()) {
            dice.emplace_back();
        } else {
            dice.push_back(std::move(slot.spare.back()));
            slot.spare.pop_back();
        }
    }
    for (std::size_t i = 0; i < dice.size(); ++i) {
        dice[i].sides = roll.dice[i].sides;
        dice[i].karma = roll.dice[i].karma;
        dice[i].faces.assign(roll.dice[i].faces.begin(), roll.dice[i].faces.end());
    }
    to.step = roll.step;
    to.karmaLevel = roll.karmaLevel;
    to.outcome = roll.outcome;
    to.total = roll.total;
    to.modifier = roll.modifier;
    to.error = roll.error;
    to.character.assign(roll.character);
    to.talent.assign(roll.talent);
}

} // namespace velmora
