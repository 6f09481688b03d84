#pragma once

#include "dice/RandomSource.h"

#include <array>
#include <cstdint>

namespace velmora {

// xoshiro256** whose reseed folds the clock into the state instead of
// replacing it: dice rolled within one clock tick, or with a clock that
// never moves, stay independent.
class MixingGenerator final : public RandomSource {
public:
    using State = std::array<std::uint64_t, 4>;

    // First state from std::random_device.
    MixingGenerator();
    explicit MixingGenerator(std::uint64_t seed);

    void reseed(std::uint64_t clockReading) override;
    float draw() override;

private:
    std::uint64_t next64();
    void seedFrom(std::uint64_t seed);

    State m_state{};
    std::uint64_t m_reseeds = 0;
};

} // namespace velmora
