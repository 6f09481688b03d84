#pragma once

#include "dice/DiceEngine.h"
#include "karma/KarmaCaption.h"
#include "steps/RollRecord.h"
#include "steps/StepDefinition.h"

namespace velmora {

// What a click on a step button does, for any row of the step table: the
// dice, the karma die and the result, into the roll's record.
class StepRoll {
public:
    StepRoll(DiceEngine& dice, const KarmaCaption& karma);

    // Throws RollError; the record then holds the roll as far as it went.
    void run(const StepDefinition& step, RollRecord& record);

private:
    double readKarma() const;

    DiceEngine& m_dice;
    const KarmaCaption& m_karma;
};

} // namespace velmora
