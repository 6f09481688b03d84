#pragma once

#include <cstdint>

namespace velmora {

class Clock {
public:
    virtual ~Clock() = default;
    virtual std::uint64_t now() = 0;
};

// Nanoseconds of the system clock since the epoch.
class SystemClock final : public Clock {
public:
    std::uint64_t now() override;
};

} // namespace velmora
