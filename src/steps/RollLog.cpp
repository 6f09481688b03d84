#include "steps/RollLog.h"

#include <utility>

namespace velmora {

void RollLog::add(RollRecord roll, std::string time)
{
    if (m_entries.size() == kCapacity) {
        m_entries.pop_front();
    }
    m_entries.push_back({std::move(roll), std::move(time)});
}

} // namespace velmora
