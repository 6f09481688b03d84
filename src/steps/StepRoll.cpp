#include "steps/StepRoll.h"

#include "dice/RollError.h"
#include "karma/KarmaState.h"
#include "transcript/TranscriptText.h"

#include <cstdint>

namespace velmora {

StepRoll::StepRoll(DiceEngine& dice, TranscriptSink& sink, const KarmaCaption& karma)
    : m_dice(dice), m_sink(sink), m_karma(karma)
{
}

double StepRoll::readKarma() const
{
    return karmaValue(m_karma.caption());
}

void StepRoll::run(const StepDefinition& step)
{
    m_sink.cls();

    std::int16_t diceSum = 0;
    for (const std::int16_t sides : step.rolledDice()) {
        const std::int16_t value = m_dice.wuerfel(sides);
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
                m_sink.print(level.line);
                total += m_dice.wuerfel(level.die);
            }
        }
        threshold = step.karmaThreshold;
    }

    if (total > threshold) {
        m_sink.print(text::sumLine(total, step.modifier));
    } else {
        m_sink.print(text::fumbleLine());
    }
}

} // namespace velmora
