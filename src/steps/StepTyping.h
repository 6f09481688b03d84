#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace velmora {

// Typed digits to a step: digits typed within kPause of each other form one
// number; where that names no step, the last digit starts a new number.
// "1" "4" is step 14, "0" "2" step 2, "5" "5" step 5 twice.
class StepTyping {
public:
    static constexpr std::uint64_t kPauseMs = 1000;

    // The step the digits typed so far name, if any. nowMs: a monotonic
    // clock reading in milliseconds.
    std::optional<int> type(char digit, std::uint64_t nowMs);
    // A roll or any other key ends the number: "1" Space "3" is step 1,
    // then step 3, not 13.
    void end() { m_digits.clear(); }

private:
    std::string m_digits;
    std::uint64_t m_last = 0;
};

} // namespace velmora
