#pragma once

#include "dice/DiceEngine.h"
#include "karma/KarmaCaption.h"
#include "steps/RollRecord.h"
#include "steps/StepDefinition.h"
#include "transcript/TranscriptSink.h"

namespace velmora {

// What a click on a step button does, for any row of the step table.
class StepRoll {
public:
    StepRoll(DiceEngine& dice, TranscriptSink& sink, const KarmaCaption& karma);

    // Throws RollError; lines written before the error stay. Where record
    // is given, it holds the roll as far as it went.
    void run(const StepDefinition& step, RollRecord* record = nullptr);

private:
    double readKarma() const;

    DiceEngine& m_dice;
    TranscriptSink& m_sink;
    const KarmaCaption& m_karma;
};

} // namespace velmora
