#pragma once

#include "dice/Clock.h"
#include "dice/RandomSource.h"

#include <cstdint>
#include <vector>

namespace velmora {

// Rand and wuerfel: every random number of the system, and every face of
// every die, which a roll's record keeps; the words are the text forms'.
class DiceEngine {
public:
    DiceEngine(RandomSource& source, Clock& clock);

    // One draw mapped onto lower..upper; throws RollError.
    std::int32_t rand(std::int32_t lower, std::int32_t upper);
    // The face mapping of rand for the draw r, without drawing.
    static std::int32_t mapDraw(float r, std::int32_t lower, std::int32_t upper);

    // Rolls one exploding die; throws RollError. Every face shown is
    // appended to faces, where given, the one that overflows included.
    std::int16_t wuerfel(const std::int16_t& sides, std::vector<std::int32_t>* faces = nullptr);

    // What wuerfel does before every roll: folds a clock reading into the
    // random source.
    void reseedFromClock();

private:
    RandomSource& m_source;
    Clock& m_clock;
};

} // namespace velmora
