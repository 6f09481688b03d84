#include "steps/RollReportingErrors.h"

#include "dice/RollError.h"

namespace velmora {

RollRecord rollReportingErrors(StepRoll& roll, const StepDefinition& step) noexcept
{
    RollRecord record;
    try {
        roll.run(step, record);
    } catch (const RollError& e) {
        record.outcome = RollRecord::Outcome::Error;
        record.error = e.kind();
    } catch (...) {
        // An error the rules do not know.
        record.outcome = RollRecord::Outcome::Error;
        record.error.reset();
    }
    return record;
}

} // namespace velmora
