#pragma once

#include "dice/RollError.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace velmora {

// One die of a roll: its size and every face it showed, re-rolls included.
struct DieRoll {
    std::int16_t sides = 0;
    bool karma = false;
    std::vector<std::int32_t> faces;
};

// A step roll as data, taken while it runs: what the band shows, the log
// keeps, a copy carries and a screen reader is told are all made from it.
struct RollRecord {
    enum class Outcome { Unfinished, Sum, Fumble, Error };

    int step = 0;
    int karmaLevel = 0; // 1..4 where a karma die was added
    std::vector<DieRoll> dice;
    Outcome outcome = Outcome::Unfinished;
    std::int64_t total = 0;
    int modifier = 0;
    // With Outcome::Error; empty for an error that the rules do not know.
    std::optional<RollError::Kind> error;
    // Where a talent was rolled, whose and which; empty for a step button.
    std::string character;
    std::string talent;
};

} // namespace velmora
