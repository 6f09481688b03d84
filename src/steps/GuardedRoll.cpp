#include "steps/GuardedRoll.h"

#include "dice/RollError.h"
#include "transcript/TranscriptText.h"

#include <exception>

namespace velmora {

bool rollReportingErrors(StepRoll& roll, const StepDefinition& step, TranscriptSink& sink) noexcept
{
    try {
        try {
            roll.run(step);
            return true;
        } catch (const RollError& e) {
            sink.print(text::errorLine(e.kind()));
        } catch (const std::exception&) {
            sink.print(text::unexpectedErrorLine());
        }
    } catch (...) {
        // Not even the error line could be written; the click still ends here.
    }
    return false;
}

} // namespace velmora
