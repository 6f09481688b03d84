#pragma once

#include "dice/Clock.h"
#include "dice/DieSizes.h"
#include "dice/RandomSource.h"
#include "transcript/TranscriptSink.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace velmora {

// Rand, wuerfel and br: every random number of the system and the lines of
// every die.
class DiceEngine {
public:
    DiceEngine(RandomSource& source, Clock& clock, TranscriptSink& sink);

    static std::string br();

    // One draw mapped onto lower..upper; throws RollError.
    std::int32_t rand(std::int32_t lower, std::int32_t upper);
    // The face mapping of rand for the draw r, without drawing.
    static std::int32_t mapDraw(float r, std::int32_t lower, std::int32_t upper);

    // Rolls one exploding die and writes its lines; throws RollError. Every
    // face shown is appended to faces, where given, before its line is written.
    std::int16_t wuerfel(const std::int16_t& sides, std::vector<std::int32_t>* faces = nullptr);

    // What wuerfel does before every roll: folds a clock reading into the
    // random source.
    void reseedFromClock();

private:
    RandomSource& m_source;
    Clock& m_clock;
    TranscriptSink& m_sink;
};

} // namespace velmora
