#pragma once

#include "steps/RollRecord.h"

#include <cstddef>
#include <deque>
#include <string>

namespace velmora {

// The rolls of this run, oldest first, each with its time of day; at most
// the latest kCapacity, so that a long evening's play stays in bounded
// memory. Kept in memory only: nothing is written anywhere.
class RollLog {
public:
    static constexpr std::size_t kCapacity = 1000;

    struct Entry {
        RollRecord roll;
        std::string time; // "hh:mm:ss"
    };

    void add(RollRecord roll, std::string time);

    const std::deque<Entry>& entries() const { return m_entries; }
    bool empty() const { return m_entries.empty(); }
    const Entry& latest() const { return m_entries.back(); }

private:
    std::deque<Entry> m_entries;
};

} // namespace velmora
