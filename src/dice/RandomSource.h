#pragma once

#include <cstdint>

namespace velmora {

// The process-wide random source: uniform single-precision values in [0, 1).
class RandomSource {
public:
    virtual ~RandomSource() = default;

    // Folds a clock reading into the source before a die is rolled.
    virtual void reseed(std::uint64_t clockReading) = 0;
    virtual float draw() = 0;
};

} // namespace velmora
