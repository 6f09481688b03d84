#include "steps/StepTyping.h"

#include "steps/StepTable.h"

namespace velmora {
namespace {

std::optional<int> stepNamed(const std::string& digits)
{
    // Two digits at most are read: no step has more.
    if (digits.empty() || digits.size() > 2) {
        return std::nullopt;
    }
    const int number = std::stoi(digits);
    if (number < kFirstStep || number > kLastStep) {
        return std::nullopt;
    }
    return number;
}

} // namespace

std::optional<int> StepTyping::type(char digit, std::uint64_t nowMs)
{
    if (digit < '0' || digit > '9') {
        return std::nullopt;
    }
    if (m_digits.empty() || nowMs - m_last > kPauseMs) {
        m_digits.clear();
    }
    m_last = nowMs;
    m_digits += digit;
    if (const auto step = stepNamed(m_digits)) {
        return step;
    }
    m_digits = std::string(1, digit);
    return stepNamed(m_digits);
}

} // namespace velmora
