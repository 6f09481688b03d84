#pragma once

#include "steps/RollRecord.h"
#include "steps/StepDefinition.h"
#include "steps/StepRoll.h"

namespace velmora {

// Runs one step roll for a click. An error ends the roll, but never the
// program: the record holds the roll as far as it went and the error, from
// which the band shows the lines so far and one more that says why.
RollRecord rollReportingErrors(StepRoll& roll, const StepDefinition& step) noexcept;

} // namespace velmora
