#pragma once

#include "steps/StepDefinition.h"
#include "steps/StepRoll.h"
#include "transcript/TranscriptSink.h"

namespace velmora {

// Runs one step roll for a click. An error ends the roll, but never the
// program: the lines so far stay and one more says why the roll stopped.
// Returns false when the roll was aborted. Where record is given, it holds
// the roll as far as it went, and the error.
bool rollReportingErrors(
    StepRoll& roll, const StepDefinition& step, TranscriptSink& sink, RollRecord* record = nullptr) noexcept;

} // namespace velmora
