#include "dice/Clock.h"

#include <chrono>

namespace velmora {

std::uint64_t SystemClock::now()
{
    const auto since = std::chrono::system_clock::now().time_since_epoch();
    return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(since).count());
}

} // namespace velmora
