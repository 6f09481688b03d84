#include "steps/StepRoll.h"

#include "dice/RollError.h"
#include "karma/KarmaState.h"

#include <cstdint>

namespace velmora {

StepRoll::StepRoll(DiceEngine& dice, const KarmaCaption& karma) : m_dice(dice), m_karma(karma) {}

double StepRoll::readKarma() const { return karmaValue(m_karma.caption()); }

void StepRoll::run(const StepDefinition& step, RollRecord& kept)
{
    kept = RollRecord{};
    kept.step = step.step;
    kept.modifier = step.modifier;
    const auto roll = [&](std::int16_t sides, bool karma) {
        kept.dice.push_back({sides, karma, {}});
        return m_dice.wuerfel(sides, &kept.dice.back().faces);
    };

    std::int16_t diceSum = 0;
    for (const std::int16_t sides : step.rolledDice()) {
        const std::int16_t value = roll(sides, false);
        std::int16_t sum = 0;
        if (__builtin_add_overflow(diceSum, value, &sum)) {
            throw RollError(RollError::Kind::Overflow, "step dice sum overflow");
        }
        diceSum = sum;
    }

    // Karma die and modifier widen instead of failing.
    std::int64_t total = diceSum;
    int threshold = step.plainThreshold;
    if (readKarma() > 0) {
        // Four independent tests, each reading the caption anew.
        for (const KarmaLevel& level : karmaTable()) {
            if (readKarma() == level.level) {
                kept.karmaLevel = level.level;
                total += roll(level.die, true);
            }
        }
        threshold = step.karmaThreshold;
    }

    kept.total = total;
    if (total > threshold) {
        kept.outcome = RollRecord::Outcome::Sum;
    } else {
        kept.outcome = RollRecord::Outcome::Fumble;
    }
}

} // namespace velmora
