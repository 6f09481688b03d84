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

void StepRoll::run(const StepDefinition& step, RollRecord* record)
{
    RollRecord scratch;
    RollRecord& kept = record != nullptr ? *record : scratch;
    kept = RollRecord{};
    kept.step = step.step;
    kept.modifier = step.modifier;
    const auto roll = [&](std::int16_t sides, bool karma) {
        kept.dice.push_back({sides, karma, {}});
        return m_dice.wuerfel(sides, &kept.dice.back().faces);
    };
    m_sink.cls();

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
                m_sink.print(level.line);
                kept.karmaLevel = level.level;
                total += roll(level.die, true);
            }
        }
        threshold = step.karmaThreshold;
    }

    kept.total = total;
    if (total > threshold) {
        kept.outcome = RollRecord::Outcome::Sum;
        m_sink.print(text::sumLine(total, step.modifier));
    } else {
        kept.outcome = RollRecord::Outcome::Fumble;
        m_sink.print(text::fumbleLine());
    }
}

} // namespace velmora
