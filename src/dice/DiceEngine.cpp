#include "dice/DiceEngine.h"

#include "dice/RollError.h"

#include <cfenv>
#include <cmath>
#include <limits>

namespace velmora {
namespace {

constexpr int kFpErrors = FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW;

[[noreturn]] void overflow() { throw RollError(RollError::Kind::Overflow, "overflow"); }

void checkFloatingPoint()
{
    if (std::fetestexcept(kFpErrors) != 0) {
        std::feclearexcept(kFpErrors);
        throw RollError(RollError::Kind::FloatingPoint, "floating-point error");
    }
}

} // namespace

DiceEngine::DiceEngine(RandomSource& source, Clock& clock) : m_source(source), m_clock(clock) {}

std::int32_t DiceEngine::rand(std::int32_t lower, std::int32_t upper) { return mapDraw(m_source.draw(), lower, upper); }

std::int32_t DiceEngine::mapDraw(float r, std::int32_t lower, std::int32_t upper)
{
    std::int32_t width = 0;
    std::int32_t n = 0;
    if (__builtin_sub_overflow(upper, lower, &width) || __builtin_add_overflow(width, 1, &n)) {
        overflow();
    }

    std::feclearexcept(kFpErrors);
    // volatile keeps each step where the flags are tested.
    volatile double p = static_cast<double>(r) * static_cast<double>(n);
    checkFloatingPoint();
    const double f = std::floor(p);
    volatile double s = f + static_cast<double>(lower);
    checkFloatingPoint();

    const double sum = s;
    if (std::isnan(sum)) {
        throw RollError(RollError::Kind::FloatingPoint, "floating-point error");
    }
    if (sum < static_cast<double>(std::numeric_limits<std::int32_t>::min())
        || sum > static_cast<double>(std::numeric_limits<std::int32_t>::max())) {
        overflow();
    }
    return static_cast<std::int32_t>(sum);
}

void DiceEngine::reseedFromClock() { m_source.reseed(m_clock.now()); }

std::int16_t DiceEngine::wuerfel(const std::int16_t& sides, std::vector<std::int32_t>* faces)
{
    // Size 1 would show its highest face for ever; below that no die exists.
    if (sides < 2) {
        throw RollError(RollError::Kind::InvalidDieSize, "die size below 2");
    }
    const std::int32_t upper = sides;
    std::int32_t total = 0;
    for (;;) {
        reseedFromClock();
        const std::int32_t value = rand(1, upper);
        if (faces != nullptr) {
            faces->push_back(value);
        }
        // Once the running total passes the 16-bit range the result must too,
        // so an endless chain of highest faces stops here.
        if (__builtin_add_overflow(total, value, &total) || total > std::numeric_limits<std::int16_t>::max()
            || total < std::numeric_limits<std::int16_t>::min()) {
            overflow();
        }
        if (value != upper) {
            return static_cast<std::int16_t>(total);
        }
    }
}

} // namespace velmora
