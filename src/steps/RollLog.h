#pragma once

#include "steps/RollRecord.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

// The rolls, oldest first, each with its time of day; at most the latest
// kCapacity, so that a long evening's play stays in bounded memory.
//
// Once full, a new roll is copied into the storage of the oldest rather
// than into memory of its own: a thousand rolls each holding memory taken
// amid the short-lived allocations of their moment kept the allocator from
// giving any page back, and the program grew roll by roll.
class RollLog {
public:
    static constexpr std::size_t kCapacity = 1000;

    struct Entry {
        RollRecord roll;
        std::string time; // "hh:mm:ss"
        // Which roll it is wherever it is kept, and when it was rolled, in
        // milliseconds since 1970.
        std::uint64_t id = 0;
        std::int64_t when = 0;
    };

    void add(const RollRecord& roll, std::string_view time, std::uint64_t id = 0, std::int64_t when = 0);
    void clear();

    std::size_t size() const { return m_slots.size(); }
    bool empty() const { return m_slots.empty(); }
    // 0 is the oldest.
    const Entry& operator[](std::size_t index) const;
    const Entry& latest() const { return (*this)[size() - 1]; }
    // Oldest first.
    std::vector<Entry> entries() const;

private:
    struct Slot {
        Entry entry;
        // Dice of earlier rolls in this slot, kept with their storage for
        // a later roll with more dice.
        std::vector<DieRoll> spare;
    };

    static void copyInto(Slot& slot, const RollRecord& roll);

    std::vector<Slot> m_slots;
    std::size_t m_oldest = 0;
};

} // namespace velmora
